#pragma once
// Every modal window the desktop program shows goes through one IModalPrompts, so that tests can
// answer message boxes, file dialogs and the about box without a user and without timers.
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "app/IMainDlgUi.h"

class IModalPrompts {
public:
    virtual ~IModalPrompts() = default;
    // Shows a box with one OK button; returns the id of the button pressed (kIdOk).
    virtual int ShowMessage(QWidget* owner, const QString& text, const QString& caption, unsigned style) = 0;
    // The confirmed full path, or nothing when the user cancelled.
    virtual std::optional<QString> ChooseFile(QWidget* owner, const FileDialogRequest& request) = 0;
    // Runs a dialog modally and returns its result.
    virtual int RunDialog(QDialog& dialog) = 0;
};

// The real windows, shown to the user.
class QtModalPrompts : public IModalPrompts {
public:
    int ShowMessage(QWidget* owner, const QString& text, const QString& caption, unsigned style) override;
    std::optional<QString> ChooseFile(QWidget* owner, const FileDialogRequest& request) override;
    int RunDialog(QDialog& dialog) override;
};

// "desc|pattern|desc|pattern||" as Qt name filters, "desc (pattern)"; patterns separated by ';'
// become space-separated, and a description that already names its pattern is kept as it is.
QStringList NameFiltersFromList(const QString& list);

// The message-box icon for the icon bits of a style.
QMessageBox::Icon IconForStyle(unsigned style);

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* owner, const QString& text, const QString& caption,
                                             unsigned style);
// A save dialog that must find the typed name's folder refuses a missing one through refusals.
std::unique_ptr<QFileDialog> BuildFileDialog(QWidget* owner, const FileDialogRequest& request,
                                             IModalPrompts& refusals);
