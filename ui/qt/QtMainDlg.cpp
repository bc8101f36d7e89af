#include "ui/qt/QtMainDlg.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <vector>

#include "res/DialogLayout.h"
#include "res/dialog.h"
#include "res/resource.h"
#include "ui/qt/DialogFont.h"
#include "ui/qt/DialogTemplate.h"
#include "ui/qt/ProgramIcon.h"
#include "ui/qt/QtAboutDlg.h"

QString ToQString(const CString& text) { return QString::fromUtf8(text.GetString(), text.GetLength()); }

CString FromQString(const QString& text) { return CString(text.toUtf8().toStdString()); }

namespace {
Qt::WindowFlags MainWindowFlags(const DialogLayout& layout) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    if (layout.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}
}  // namespace

QtMainDlg::QtMainDlg(IModalPrompts& prompts, CMainDlg::Inputs inputs, QWidget* parent)
    : QDialog(parent, MainWindowFlags(MainDialogLayout())),
      m_prompts(prompts),
      m_units(DialogUnits::FromFont(DialogFont(MainDialogLayout().fontName, MainDialogLayout().fontSize))),
      m_menuBar(new QMenuBar(this)),
      m_client(new QWidget(this)),
      m_dlg(*this, inputs) {
    const DialogLayout& layout = MainDialogLayout();
    setObjectName(DialogTemplate::ObjectName(layout.id));
    setWindowTitle(QString::fromUtf8(layout.caption));
    setWindowIcon(ProgramIcon());
    setFont(DialogFont(layout.fontName, layout.fontSize));
    setAcceptDrops(layout.acceptsFiles);

    const MenuLayout& menu = MainMenuLayout();
    m_menuBar->setObjectName(DialogTemplate::ObjectName(menu.id));
    QMenu* popup = m_menuBar->addMenu(QString::fromUtf8(menu.popupText));
    QAction* item = popup->addAction(QString::fromUtf8(menu.itemText));
    item->setObjectName(DialogTemplate::ObjectName(menu.itemCommand));
    const int command = menu.itemCommand;
    connect(item, &QAction::triggered, this, [this, command] { m_dlg.OnCommand(command); });

    for (QWidget* widget : DialogTemplate::Build(layout, m_units, m_client, ProgramIcon())) {
        const int id = widget->objectName().toInt();
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            connect(button, &QPushButton::clicked, this, [this, id] { m_dlg.OnCommand(id); });
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            if (id == IDC_INPUT_FILE) m_editInput = edit;
            if (id == IDC_OUTPUT_FILE) m_editOutput = edit;
            // The user's typing only; the program's own setText does not count.
            connect(edit, &QLineEdit::textEdited, this, [this] { m_dlg.OnBoxEdited(); });
        }
    }

    // The template's size is the client area; the menu bar sits above it, as on Windows.
    const QSize client = DialogTemplate::ClientSize(layout, m_units);
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, client.width(), menuHeight);
    m_client->setGeometry(0, menuHeight, client.width(), client.height());
    setFixedSize(client.width(), menuHeight + client.height());
}

void QtMainDlg::Start(const CString& strCmdLine) {
    move(MainDialogLayout().x, MainDialogLayout().y);
    if (m_dlg.OnInitDialog(strCmdLine)) GotoInputBox();
}

QLineEdit* QtMainDlg::Box(int id) const {
    if (id == IDC_INPUT_FILE) return m_editInput;
    if (id == IDC_OUTPUT_FILE) return m_editOutput;
    return nullptr;
}

void QtMainDlg::ReadBoxes(CString& input, CString& output) {
    input = FromQString(m_editInput->text());
    output = FromQString(m_editOutput->text());
}

void QtMainDlg::WriteBoxes(const CString& input, const CString& output) {
    m_editInput->setText(ToQString(input));
    m_editOutput->setText(ToQString(output));
}

void QtMainDlg::SetBoxText(int id, const CString& text) {
    if (QLineEdit* box = Box(id)) box->setText(ToQString(text));
    if (id != IDC_OUTPUT_SET) return;
    if (text.IsEmpty()) {
        delete m_outputSet;
        m_outputSet = nullptr;
        return;
    }
    if (!m_outputSet) {
        m_outputSet = new QLabel(m_client);
        m_outputSet->setObjectName(DialogTemplate::ObjectName(IDC_OUTPUT_SET));
        m_outputSet->setTextFormat(Qt::PlainText);
        m_outputSet->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_outputSet->setWordWrap(true);
        m_outputSet->setGeometry(m_units.ToPixels(QV_MAIN_OUTPUT_SET_X, QV_MAIN_OUTPUT_SET_Y, QV_MAIN_OUTPUT_SET_W, QV_MAIN_OUTPUT_SET_H));
        m_outputSet->show();
    }
    m_outputSet->setText(ToQString(text));
}

void QtMainDlg::GotoInputBox() {
    m_editInput->setFocus(Qt::TabFocusReason);
    m_editInput->selectAll();
}

void QtMainDlg::FocusBox(int id) {
    QLineEdit* box = Box(id);
    if (!box) return;
    box->setFocus(Qt::OtherFocusReason);
    // Selecting all leaves the cursor at the end, which the box scrolls into view.
    box->selectAll();
}

int QtMainDlg::MessageBox(const CString& text, const CString& caption, unsigned style) {
    return m_prompts.ShowMessage(this, ToQString(text), ToQString(caption), style);
}

bool QtMainDlg::ChooseFile(const FileDialogRequest& request, CString& path) {
    const std::optional<QString> chosen = m_prompts.ChooseFile(this, request);
    if (!chosen) return false;
    path = FromQString(*chosen);
    return true;
}

void QtMainDlg::EndDialog(int result) { done(result); }

void QtMainDlg::RunAboutBox() {
    QtAboutDlg about(this);
    m_prompts.RunDialog(about);
}

void QtMainDlg::reject() { m_dlg.OnCommand(IDCANCEL); }

void QtMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void QtMainDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void QtMainDlg::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    std::vector<CString> names;
    for (const QUrl& url : event->mimeData()->urls()) {
        names.push_back(FromQString(url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString()));
    }
    event->acceptProposedAction();
    // Handled once the drop is over, so that a refusal's message box does not hold up the
    // program the files came from.
    QMetaObject::invokeMethod(
        this, [this, names] { m_dlg.OnDropFiles(names); }, Qt::QueuedConnection);
}
