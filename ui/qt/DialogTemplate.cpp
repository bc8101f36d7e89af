#include "ui/qt/DialogTemplate.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QSize DialogTemplate::ClientSize(const DialogLayout& layout, const DialogUnits& units) {
    return QSize(units.ToPixelsX(layout.w), units.ToPixelsY(layout.h));
}

QWidget* DialogTemplate::Create(const ControlLayout& control, const DialogUnits& units, QWidget* client,
                                const QIcon& icon) {
    const QString text = QString::fromUtf8(control.text);
    QRect geometry = units.ToPixels(control.x, control.y, control.w, control.h);
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::edit: {
        auto* edit = new QLineEdit(text, client);
        // Windows draws a single-line edit's text at the top of the box, however tall.
        edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Files dropped on a box are the dialog's, as with a window that accepts files.
        edit->setAcceptDrops(false);
        widget = edit;
        break;
    }
    case ControlKind::defPushButton:
    case ControlKind::pushButton: {
        auto* button = new QPushButton(text, client);
        button->setDefault(control.defaultButton);
        widget = button;
        break;
    }
    case ControlKind::groupBox:
        widget = new QGroupBox(text, client);
        break;
    case ControlKind::icon: {
        // An icon control takes the size of its icon.
        auto* label = new QLabel(client);
        label->setPixmap(icon.pixmap(32, 32));
        geometry.setSize(QSize(32, 32));
        widget = label;
        break;
    }
    case ControlKind::staticText: {
        auto* label = new QLabel(text, client);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
    }
    }
    widget->setObjectName(ObjectName(control.id));
    widget->setGeometry(geometry);
    widget->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::NoFocus);
    return widget;
}

QList<QWidget*> DialogTemplate::Build(const DialogLayout& layout, const DialogUnits& units, QWidget* client,
                                      const QIcon& icon) {
    QList<QWidget*> widgets;
    QWidget* previousStop = nullptr;
    for (int i = 0; i < layout.controlCount; ++i) {
        const ControlLayout& control = layout.controls[i];
        QWidget* widget = Create(control, units, client, icon);
        // Group boxes come late in a template yet must not cover the controls they frame.
        if (control.kind == ControlKind::groupBox) widget->lower();
        if (control.tabStop) {
            if (previousStop) QWidget::setTabOrder(previousStop, widget);
            previousStop = widget;
        }
        widgets << widget;
    }
    return widgets;
}
