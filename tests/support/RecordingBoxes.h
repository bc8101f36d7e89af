#pragma once
// A dialog UI that records the message boxes shown through it; any other window operation fails
// the test, since only boxes are expected where it is used.
#include <vector>

#include "app/IMainDlgUi.h"

struct ShownMessageBox {
    CString text;
    CString caption;
    unsigned style;
};

class RecordingBoxes : public IMainDlgUi {
public:
    int MessageBox(const CString& text, const CString& caption, unsigned style) override;
    void ReadBoxes(CString& input, CString& output) override;
    void WriteBoxes(const CString& input, const CString& output) override;
    void SetBoxText(int id, const CString& text) override;
    void GotoInputBox() override;
    void FocusBox(int id) override;
    bool ChooseFile(const FileDialogRequest& request, CString& path) override;
    void EndDialog(int result) override;
    void RunAboutBox() override;

    std::vector<ShownMessageBox> shown;
};
