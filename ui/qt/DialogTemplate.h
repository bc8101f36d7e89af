#pragma once
// Creates the controls of a dialog template as Qt widgets: object names are the control ids,
// geometry comes from the template's dialog units, tab order is the template's order.
#include <QIcon>
#include <QList>
#include <QWidget>

#include "res/DialogLayout.h"
#include "ui/qt/DialogUnits.h"

class DialogTemplate {
public:
    // The widgets in template order, children of client.
    static QList<QWidget*> Build(const DialogLayout& layout, const DialogUnits& units, QWidget* client,
                                 const QIcon& icon);
    // The client size of the template in pixels.
    static QSize ClientSize(const DialogLayout& layout, const DialogUnits& units);
    static QString ObjectName(int id) { return QString::number(id); }

private:
    static QWidget* Create(const ControlLayout& control, const DialogUnits& units, QWidget* client,
                           const QIcon& icon);
};
