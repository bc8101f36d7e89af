#include "RecordingDialogUi.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "res/resource.h"

namespace {
std::string Style(unsigned style) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", style);
    return text;
}
}  // namespace

void RecordingDialogUi::ClearLog() {
    log.clear();
    requests.clear();
}

void RecordingDialogUi::Record(const std::string& line) {
    // Nothing may reach the window once the dialog has ended.
    if (endResult != 0) ADD_FAILURE() << "after EndDialog: " << line;
    log.push_back(line);
}

void RecordingDialogUi::ReadBoxes(CString& input, CString& output) {
    Record("ReadBoxes");
    input = inputBox;
    output = outputBox;
}

void RecordingDialogUi::WriteBoxes(const CString& input, const CString& output) {
    Record("WriteBoxes " + input.Str() + " | " + output.Str());
    inputBox = input;
    outputBox = output;
}

void RecordingDialogUi::SetBoxText(int id, const CString& text) {
    Record("SetBoxText " + std::to_string(id) + " " + text.Str());
    if (id == IDC_INPUT_FILE) inputBox = text;
    else if (id == IDC_OUTPUT_FILE) outputBox = text;
    else if (id == IDC_OUTPUT_SET) outputSet = text;
    else ADD_FAILURE() << "SetBoxText on control " << id;
}

void RecordingDialogUi::GotoInputBox() {
    Record("GotoInputBox");
    focus = IDC_INPUT_FILE;
}

void RecordingDialogUi::FocusBox(int id) {
    Record("FocusBox " + std::to_string(id));
    focus = id;
}

int RecordingDialogUi::MessageBox(const CString& text, const CString& caption, unsigned style) {
    Record("MessageBox " + caption.Str() + " " + Style(style) + " | " + text.Str());
    return kIdOk;
}

bool RecordingDialogUi::ChooseFile(const FileDialogRequest& request, CString& path) {
    Record(std::string("ChooseFile ") + (request.bOpenFileDialog ? "open" : "save"));
    requests.push_back(request);
    if (m_answers.empty()) {
        ADD_FAILURE() << "unscripted file dialog";
        return false;
    }
    std::optional<CString> answer = m_answers.front();
    m_answers.pop_front();
    if (!answer) return false;
    path = *answer;
    return true;
}

void RecordingDialogUi::EndDialog(int result) {
    Record("EndDialog " + std::to_string(result));
    endResult = result;
}

void RecordingDialogUi::RunAboutBox() { Record("RunAboutBox"); }
