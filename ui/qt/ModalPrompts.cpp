#include "ui/qt/ModalPrompts.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr unsigned kMbIconQuestion = 0x20u;
constexpr unsigned kMbIconInformation = 0x40u;

// Qt's own file dialog has no rule that the folder of a typed name must exist: this one refuses
// such a name and stays open, as the Windows save dialog does.
class PathCheckingFileDialog : public QFileDialog {
public:
    PathCheckingFileDialog(QWidget* owner, bool mustExist, IModalPrompts& refusals)
        : QFileDialog(owner), m_mustExist(mustExist), m_refusals(refusals) {}

    void accept() override {
        if (m_mustExist) {
            const QStringList files = selectedFiles();
            if (!files.isEmpty()) {
                const QFileInfo chosen(files.first());
                if (!chosen.isDir() && !chosen.absoluteDir().exists()) {
                    m_refusals.ShowMessage(
                        this,
                        QStringLiteral("フォルダ %1 が見つかりません。\nフォルダ名を確かめて下さい。")
                            .arg(QDir::toNativeSeparators(chosen.absolutePath())),
                        windowTitle(), kMbIconExclamation);
                    return;
                }
            }
        }
        QFileDialog::accept();
    }

private:
    bool m_mustExist;
    IModalPrompts& m_refusals;
};
}  // namespace

QStringList NameFiltersFromList(const QString& list) {
    QStringList parts = list.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        if (description.isEmpty()) break;  // the closing bar
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString named = QStringLiteral("(%1)").arg(patterns);
        filters << (description.endsWith(named) ? description : description + QLatin1Char(' ') + named);
    }
    return filters;
}

QMessageBox::Icon IconForStyle(unsigned style) {
    switch (style & kMbIconMask) {
    case kMbIconStop: return QMessageBox::Critical;
    case kMbIconQuestion: return QMessageBox::Question;
    case kMbIconExclamation: return QMessageBox::Warning;
    case kMbIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* owner, const QString& text, const QString& caption,
                                             unsigned style) {
    auto box = std::make_unique<QMessageBox>(IconForStyle(style), caption, text, QMessageBox::Ok, owner);
    // File names may hold '<' or '&': never read the text as markup.
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

std::unique_ptr<QFileDialog> BuildFileDialog(QWidget* owner, const FileDialogRequest& request,
                                             IModalPrompts& refusals) {
    const bool save = !request.bOpenFileDialog;
    auto dialog = std::make_unique<PathCheckingFileDialog>(owner, save && (request.flags & kOfnPathMustExist),
                                                           refusals);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowTitle(QString::fromUtf8(request.title.GetString()));
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & kOfnOverwritePrompt) || !save);
    dialog->setDefaultSuffix(QString::fromUtf8(request.defaultExt.GetString()));
    const QStringList filters = NameFiltersFromList(QString::fromUtf8(request.filter.GetString()));
    dialog->setNameFilters(filters);
    if (!filters.isEmpty()) dialog->selectNameFilter(filters.first());
    if (!request.initialDir.IsEmpty()) dialog->setDirectory(QString::fromUtf8(request.initialDir.GetString()));
    dialog->setWindowModality(Qt::ApplicationModal);
    return dialog;
}

int QtModalPrompts::ShowMessage(QWidget* owner, const QString& text, const QString& caption, unsigned style) {
    BuildMessageBox(owner, text, caption, style)->exec();
    return kIdOk;
}

std::optional<QString> QtModalPrompts::ChooseFile(QWidget* owner, const FileDialogRequest& request) {
    const std::unique_ptr<QFileDialog> dialog = BuildFileDialog(owner, request, *this);
    if (dialog->exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(files.first());
}

int QtModalPrompts::RunDialog(QDialog& dialog) { return dialog.exec(); }
