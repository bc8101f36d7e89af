#pragma once
// Carries out the dialog's UI operations on two simulated boxes and records each one, in order,
// message boxes included. File dialogs are answered from a script the test gives.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/IMainDlgUi.h"

class RecordingDialogUi : public IMainDlgUi {
public:
    // Next answers of ChooseFile: a path confirms, nullopt cancels. An unscripted call fails
    // the test and cancels.
    void AnswerFileDialog(std::optional<CString> path) { m_answers.push_back(std::move(path)); }
    // Clears the log (and the recorded requests), keeping the boxes and focus.
    void ClearLog();

    void ReadBoxes(CString& input, CString& output) override;
    void WriteBoxes(const CString& input, const CString& output) override;
    void SetBoxText(int id, const CString& text) override;
    void GotoInputBox() override;
    void FocusBox(int id) override;
    int MessageBox(const CString& text, const CString& caption, unsigned style) override;
    bool ChooseFile(const FileDialogRequest& request, CString& path) override;
    void EndDialog(int result) override;
    void RunAboutBox() override;

    // One line each, e.g. "WriteBoxes a.mem | a.xml", "MessageBox ERROR 0x0 | text",
    // "MessageBox quorvel 0x10 | text" (an application box), "FocusBox 1001", "EndDialog 1".
    std::vector<std::string> log;
    std::vector<FileDialogRequest> requests;
    CString inputBox;   // text of box 1000 as the user sees it
    CString outputBox;  // text of box 1001
    CString outputSet;  // the line under the output box (1008)
    int focus = 0;      // box with the keyboard focus, 0 none
    int endResult = 0;  // 0 while the dialog is open

private:
    void Record(const std::string& line);

    std::deque<std::optional<CString>> m_answers;
};
