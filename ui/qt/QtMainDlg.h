#pragma once
// The main dialog on the Qt desktop: template 102 as widgets, its commands handed to CMainDlg,
// and the window operations CMainDlg asks for carried out on those widgets.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>

#include "app/CMainDlg.h"
#include "app/IMainDlgUi.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/ModalPrompts.h"

class QtMainDlg : public QDialog, public IMainDlgUi {
    Q_OBJECT
public:
    // inputs: memory-point files only, or the map files too.
    explicit QtMainDlg(IModalPrompts& prompts, CMainDlg::Inputs inputs = CMainDlg::Inputs::memPointFiles, QWidget* parent = nullptr);

    // Start-up: strCmdLine is the text after the program's own name. Fills the boxes, gives the
    // first control the focus and places the window at the top-left of the screen.
    void Start(const CString& strCmdLine);

    const DialogUnits& Units() const { return m_units; }
    QWidget* Client() const { return m_client; }
    QMenuBar* MenuBar() const { return m_menuBar; }

    // IMainDlgUi
    void ReadBoxes(CString& input, CString& output) override;
    void WriteBoxes(const CString& input, const CString& output) override;
    void SetBoxText(int id, const CString& text) override;
    void GotoInputBox() override;
    void FocusBox(int id) override;
    int MessageBox(const CString& text, const CString& caption, unsigned style) override;
    bool ChooseFile(const FileDialogRequest& request, CString& path) override;
    void EndDialog(int result) override;
    void RunAboutBox() override;

    // Escape and the close box: the dialog's cancel command.
    void reject() override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QLineEdit* Box(int id) const;

    IModalPrompts& m_prompts;
    DialogUnits m_units;
    QMenuBar* m_menuBar;
    QWidget* m_client;
    QLineEdit* m_editInput = nullptr;
    QLineEdit* m_editOutput = nullptr;
    // The line under the output box: made when it first has a text, removed when it has none.
    QLabel* m_outputSet = nullptr;
    CMainDlg m_dlg;
};

// Host text is UTF-8 throughout the program.
QString ToQString(const CString& text);
CString FromQString(const QString& text);
