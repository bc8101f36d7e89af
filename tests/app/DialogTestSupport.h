#pragma once
// What the dialog tests share: a dialog over the recording UI, and a current folder of the
// test's choosing (through the POSIX seam).
#include <cstring>
#include <string>

#include "support/RecordingDialogUi.h"
#include "app/CMainDlg.h"
#include "app/CConverterApp.h"
#include "platform/posix/PosixCalls.h"

// getcwd answers with a given folder, or fails like getcwd when it does not fit.
class FixedFolderCalls : public PosixCalls {
public:
    explicit FixedFolderCalls(std::string folder, bool fail = false)
        : m_folder(std::move(folder)), m_fail(fail), m_previous(PosixCalls::Replace(this)) {}
    ~FixedFolderCalls() override { PosixCalls::Replace(m_previous); }
    FixedFolderCalls(const FixedFolderCalls&) = delete;
    FixedFolderCalls& operator=(const FixedFolderCalls&) = delete;

    char* Getcwd(char* buf, size_t size) override {
        if (m_fail || m_folder.size() + 1 > size) return nullptr;
        std::memcpy(buf, m_folder.c_str(), m_folder.size() + 1);
        return buf;
    }

private:
    std::string m_folder;
    bool m_fail;
    PosixCalls* m_previous;
};

struct DialogUnderTest {
    const CConverterApp app{"/opt/bin/quorvel"};
    RecordingDialogUi ui;
    CMainDlg dlg{ui};
};
