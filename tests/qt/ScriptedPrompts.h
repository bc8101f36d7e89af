#pragma once
// Answers the desktop program's modal windows for a test: records every message box, file
// dialog request and dialog run, and gives the scripted file-dialog answers in turn.
#include <QLabel>
#include <QPushButton>
#include <deque>
#include <optional>
#include <vector>

#include "ui/qt/ModalPrompts.h"

struct PromptedMessage {
    QString text;
    QString caption;
    unsigned style;
    QWidget* owner;
};

struct RunDialogRecord {
    QString objectName;
    QString title;
    QStringList labels;  // texts of the dialog's labels, in creation order
    QString okText;      // text of the button "1", if any
    bool okIsDefault = false;
    bool hasIcon = false;  // a label showing a pixmap
};

class ScriptedPrompts : public IModalPrompts {
public:
    int ShowMessage(QWidget* owner, const QString& text, const QString& caption, unsigned style) override {
        messages.push_back({text, caption, style, owner});
        return 1;
    }

    std::optional<QString> ChooseFile(QWidget* /*owner*/, const FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) return std::nullopt;
        const QString answer = answers.front();
        answers.pop_front();
        if (answer.isEmpty()) return std::nullopt;
        return answer;
    }

    int RunDialog(QDialog& dialog) override {
        RunDialogRecord record;
        record.objectName = dialog.objectName();
        record.title = dialog.windowTitle();
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) record.hasIcon = true;
            else record.labels << label->text();
        }
        if (auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("1"))) {
            record.okText = ok->text();
            record.okIsDefault = ok->isDefault();
        }
        dialogs.push_back(record);
        return QDialog::Accepted;
    }

    std::vector<PromptedMessage> messages;
    std::vector<FileDialogRequest> requests;
    std::vector<RunDialogRecord> dialogs;
    std::deque<QString> answers;  // in turn; an empty one: the user cancels
};
