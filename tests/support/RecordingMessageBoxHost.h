#pragma once
// Records every message box instead of showing it; installed for its lifetime.
#include <vector>

#include "platform/MessageBox.h"

struct ShownMessageBox {
    CString text;
    CString caption;
    unsigned style;
};

class RecordingMessageBoxHost : public IMessageBoxHost {
public:
    RecordingMessageBoxHost() : m_previous(SetMessageBoxHost(this)) {}
    ~RecordingMessageBoxHost() override { SetMessageBoxHost(m_previous); }
    RecordingMessageBoxHost(const RecordingMessageBoxHost&) = delete;
    RecordingMessageBoxHost& operator=(const RecordingMessageBoxHost&) = delete;

    int ShowMessageBox(const CString& text, const CString& caption, unsigned style) override {
        shown.push_back({text, caption, style});
        return kIdOk;
    }

    std::vector<ShownMessageBox> shown;

private:
    IMessageBoxHost* m_previous;
};
