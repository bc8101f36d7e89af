#pragma once
// The about box: name, version and copyright notice with the program icon, and OK.
#include <QDialog>

#include "ui/qt/DialogUnits.h"

class QtAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit QtAboutDlg(QWidget* owner);

    const DialogUnits& Units() const { return m_units; }
    QWidget* Client() const { return m_client; }

private:
    DialogUnits m_units;
    QWidget* m_client;
};
