#pragma once
// Stand-ins for the front end while fuzzing: a dialog UI that records its boxes, and a stop that shows the input's problem the way libFuzzer expects (abort).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/IMainDlgUi.h"

namespace fuzzcheck {

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "check failed: %s\n", what.c_str());
    std::abort();
}

inline void Require(bool condition, const std::string& what) {
    if (!condition) Fail(what);
}

// The dialog's two boxes and its focus; file dialogs are always cancelled.
class FakeDialogUi : public IMainDlgUi {
public:
    void ReadBoxes(CString& input, CString& output) override {
        input = inputBox;
        output = outputBox;
    }
    void WriteBoxes(const CString& input, const CString& output) override {
        inputBox = input;
        outputBox = output;
    }
    void SetBoxText(int id, const CString& text) override { (id == 1000 ? inputBox : outputBox) = text; }
    void GotoInputBox() override { focus = 1000; }
    void FocusBox(int id) override { focus = id; }
    int MessageBox(const CString& text, const CString&, unsigned) override {
        boxes.push_back(text.Str());
        return kIdOk;
    }
    bool ChooseFile(const FileDialogRequest&, CString&) override { return false; }
    void EndDialog(int result) override { endResult = result; }
    void RunAboutBox() override {}

    CString inputBox;
    CString outputBox;
    int focus = 0;
    int endResult = 0;
    std::vector<std::string> boxes;
};

}  // namespace fuzzcheck
