#include "RecordingBoxes.h"

#include <gtest/gtest.h>

namespace {
void Unexpected(const char* what) { ADD_FAILURE() << what << " where only message boxes were expected"; }
}  // namespace

int RecordingBoxes::MessageBox(const CString& text, const CString& caption, unsigned style) {
    shown.push_back({text, caption, style});
    return kIdOk;
}

void RecordingBoxes::ReadBoxes(CString&, CString&) { Unexpected("ReadBoxes"); }
void RecordingBoxes::WriteBoxes(const CString&, const CString&) { Unexpected("WriteBoxes"); }
void RecordingBoxes::SetBoxText(int, const CString&) { Unexpected("SetBoxText"); }
void RecordingBoxes::GotoInputBox() { Unexpected("GotoInputBox"); }
void RecordingBoxes::FocusBox(int) { Unexpected("FocusBox"); }
bool RecordingBoxes::ChooseFile(const FileDialogRequest&, CString&) {
    Unexpected("ChooseFile");
    return false;
}
void RecordingBoxes::EndDialog(int) { Unexpected("EndDialog"); }
void RecordingBoxes::RunAboutBox() { Unexpected("RunAboutBox"); }
