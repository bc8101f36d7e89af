#include "ui/qt/QtMessageBoxHost.h"

#include <QApplication>

QtMessageBoxHost::QtMessageBoxHost(IModalPrompts& prompts)
    : m_prompts(prompts), m_previous(SetMessageBoxHost(this)) {}

QtMessageBoxHost::~QtMessageBoxHost() { SetMessageBoxHost(m_previous); }

int QtMessageBoxHost::ShowMessageBox(const CString& text, const CString& caption, unsigned style) {
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
    return m_prompts.ShowMessage(owner, QString::fromUtf8(text.GetString()), QString::fromUtf8(caption.GetString()),
                                 style);
}
