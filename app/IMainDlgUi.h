#pragma once
// What the main dialog asks of the window system; each front end carries these out.
#include "platform/CString.h"

// Message-box styles and the OK button's id, with the values of the Windows message box.
constexpr unsigned kMbOk = 0x00000000u;
constexpr unsigned kMbIconStop = 0x00000010u;
constexpr unsigned kMbIconExclamation = 0x00000030u;
constexpr unsigned kMbIconMask = 0x000000F0u;
constexpr int kIdOk = 1;

// Option flags of the file dialogs, with the values of the Windows common dialogs.
constexpr unsigned kOfnOverwritePrompt = 0x00000002u;
constexpr unsigned kOfnHideReadOnly = 0x00000004u;
constexpr unsigned kOfnPathMustExist = 0x00000800u;

struct FileDialogRequest {
    bool bOpenFileDialog = true;  // open-file dialog, else save-as
    CString defaultExt;           // "mem", without the dot
    unsigned flags = 0;
    CString filter;  // "desc|pattern|desc|pattern||"
    CString title;
    CString initialDir;
};

class IMainDlgUi {
public:
    virtual ~IMainDlgUi() = default;
    // The texts of the input box (1000) and the output box (1001).
    virtual void ReadBoxes(CString& input, CString& output) = 0;
    virtual void WriteBoxes(const CString& input, const CString& output) = 0;
    virtual void SetBoxText(int id, const CString& text) = 0;
    // Moves the focus to the input box as the dialog manager does (its whole text selected).
    virtual void GotoInputBox() = 0;
    // Keyboard focus to the box, whole text selected, caret scrolled into view.
    virtual void FocusBox(int id) = 0;
    // A modal box owned by the dialog, every box the dialog shows; returns the button pressed.
    virtual int MessageBox(const CString& text, const CString& caption, unsigned style) = 0;
    // Modal file dialog; true and the full path when the user confirmed a file.
    virtual bool ChooseFile(const FileDialogRequest& request, CString& path) = 0;
    virtual void EndDialog(int result) = 0;
    virtual void RunAboutBox() = 0;
};
