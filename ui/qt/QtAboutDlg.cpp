#include "ui/qt/QtAboutDlg.h"

#include <QPushButton>

#include "res/DialogLayout.h"
#include "res/resource.h"
#include "ui/qt/DialogFont.h"
#include "ui/qt/DialogTemplate.h"
#include "ui/qt/ProgramIcon.h"

QtAboutDlg::QtAboutDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_units(DialogUnits::FromFont(DialogFont(AboutDialogLayout().fontName, AboutDialogLayout().fontSize))),
      m_client(new QWidget(this)) {
    const DialogLayout& layout = AboutDialogLayout();
    setObjectName(DialogTemplate::ObjectName(layout.id));
    setWindowTitle(QString::fromUtf8(layout.caption));
    setFont(DialogFont(layout.fontName, layout.fontSize));
    setWindowIcon(ProgramIcon());
    const QSize client = DialogTemplate::ClientSize(layout, m_units);
    m_client->setGeometry(QRect(QPoint(0, 0), client));
    for (QWidget* widget : DialogTemplate::Build(layout, m_units, m_client, ProgramIcon())) {
        if (auto* button = qobject_cast<QPushButton*>(widget); button && widget->objectName().toInt() == IDOK) {
            connect(button, &QPushButton::clicked, this, &QDialog::accept);
        }
    }
    setFixedSize(client);
}
