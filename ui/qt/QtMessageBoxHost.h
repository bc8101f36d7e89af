#pragma once
// The framework's application boxes (AfxMessageBox) on the desktop: owned by the window that is
// active, answered through the program's prompts. Installed for its lifetime.
#include "platform/MessageBox.h"
#include "ui/qt/ModalPrompts.h"

class QtMessageBoxHost : public IMessageBoxHost {
public:
    explicit QtMessageBoxHost(IModalPrompts& prompts);
    ~QtMessageBoxHost() override;
    QtMessageBoxHost(const QtMessageBoxHost&) = delete;
    QtMessageBoxHost& operator=(const QtMessageBoxHost&) = delete;

    int ShowMessageBox(const CString& text, const CString& caption, unsigned style) override;

private:
    IModalPrompts& m_prompts;
    IMessageBoxHost* m_previous;
};
