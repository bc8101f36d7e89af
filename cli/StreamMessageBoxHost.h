#pragma once
// Shows each message box as its text on a stream, for a program without windows.
#include <ostream>

#include "platform/MessageBox.h"

class StreamMessageBoxHost : public IMessageBoxHost {
public:
    // Installed for the host's lifetime; the previous host comes back afterwards.
    explicit StreamMessageBoxHost(std::ostream& stream);
    ~StreamMessageBoxHost() override;
    StreamMessageBoxHost(const StreamMessageBoxHost&) = delete;
    StreamMessageBoxHost& operator=(const StreamMessageBoxHost&) = delete;

    // The text as the box has it, line feeds included, then one line feed; no caption.
    int ShowMessageBox(const CString& text, const CString& caption, unsigned style) override;

private:
    std::ostream& m_stream;
    IMessageBoxHost* m_previous;
};
