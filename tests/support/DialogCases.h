#pragma once
// What every front of the main dialog must do alike, as one table: tests/app runs it on the
// recording UI, tests/qt on the Qt dialog and tests/win32's driver on quorvel.exe under Wine.
// Each front's own checks (its keys, widgets, windows) stay in its own tests.
//
// The work folder of a run holds route.mem (a memory-point file with used points), short.mem
// (its bytes but the last), route.dat (route.mem's bytes under a name of no kind read) and
// nothing else. The program is named quorvel, the caption of the application's boxes. Every
// dialog takes map files as well as memory-point files, as the programs do.
#include <string>
#include <vector>

#include "app/IMainDlgUi.h"
#include "res/resource.h"

namespace dialogcases {

// "{dir}" in a name or a text stands for the work folder with its closing separator; a '/' of
// the table's own is the front's separator.
inline std::string Expand(const std::string& pattern, const std::string& dir, char separator) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 5, "{dir}") == 0) {
            out += dir;
            i += 4;
        } else {
            out += pattern[i] == '/' ? separator : pattern[i];
        }
    }
    return out;
}

// Names separated by '|' (a drop of several files), each expanded.
inline std::vector<std::string> ExpandList(const std::string& patterns, const std::string& dir, char separator) {
    std::vector<std::string> names;
    std::size_t from = 0;
    for (std::size_t bar = patterns.find('|');; bar = patterns.find('|', from)) {
        names.push_back(Expand(patterns.substr(from, bar == std::string::npos ? std::string::npos : bar - from), dir, separator));
        if (bar == std::string::npos) return names;
        from = bar + 1;
    }
}

// What the output box shows after start-up with this input name: the name with the extension
// "xml" (every name of the table has an extension), or nothing.
inline std::string ProposedOutput(const std::string& input) {
    const std::size_t dot = input.rfind('.');
    return dot == std::string::npos ? input : input.substr(0, dot) + ".xml";
}

struct Box {
    const char* caption;
    const char* text;
    unsigned style;  // a box shows an icon exactly when the style names one
};

enum class Act {
    typeOutput,  // the user replaces the output box's text with name
    convert,     // the convert button "変換"
    drop,        // files dropped from the shell onto the window, in order
    cancel,      // the cancel button
};

struct Step {
    Act act;
    const char* names;       // the typed name, or the dropped ones separated by '|'
    std::vector<Box> boxes;  // every box the step shows, in order; each answered with OK
};

struct Case {
    const char* name;
    const char* commandLine;  // the start-up's input name, or ""
    std::vector<Step> steps;
    int endResult;  // 0: the dialog stays open, else how it ended (IDOK 1, IDCANCEL 2)
    // The boxes' texts at the end while the dialog is open; nullptr: not checked.
    const char* inputBox;
    const char* outputBox;
    int focus;                         // the control holding the focus at the end, 0: not checked
    std::vector<const char*> written;  // documents written, each what quorvel-cli writes for route.mem
    std::vector<const char*> absent;   // names that must not exist at the end
};

constexpr const char* kConverted = "変換が終了しました。\nOKボタンを押して下さい。";
constexpr const char* kDropRefused = "入力ファイルのファイルタイプが違います。\n拡張子[.mem]のファイルを選択して下さい。";

inline const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"convert-from-command-line",
         "{dir}route.mem",
         {{Act::convert, "", {{"終了", kConverted, kMbOk}}}},
         1,
         nullptr,
         nullptr,
         0,
         {"route.xml"},
         {}},
        {"wrong-length-input",
         "{dir}short.mem",
         {{Act::convert,
           "",
           {{"quorvel", "{dir}short.mem\n    は認識できないファイルです", kMbOk | kMbIconExclamation},
            {"ERROR", "ファイル {dir}short.mem の読み込みに失敗しました", kMbOk}}}},
         0,
         "{dir}short.mem",
         "{dir}short.xml",
         0,
         {},
         {"short.xml"}},
        // A file of no kind read: the store's refusal without opening it, then the input box.
        {"input-not-read",
         "{dir}route.dat",
         {{Act::convert,
           "",
           {{"quorvel", "{dir}route.dat\n    は認識できないファイルです", kMbOk | kMbIconExclamation},
            {"ERROR", "ファイル {dir}route.dat の読み込みに失敗しました", kMbOk}}}},
         0,
         "{dir}route.dat",
         "{dir}route.xml",
         IDC_INPUT_FILE,
         {},
         {"route.xml"}},
        {"input-empty", "", {{Act::convert, "", {}}}, 0, "", "", IDC_INPUT_FILE, {}, {}},
        // Once the name is corrected, the next press converts.
        {"missing-output-folder",
         "{dir}route.mem",
         {{Act::typeOutput, "{dir}no such folder/out.xml", {}},
          {Act::convert, "", {{"quorvel", "\"{dir}no such folder/out.xml\"\n\n不正パス", kMbOk | kMbIconExclamation}}},
          {Act::typeOutput, "{dir}corrected.xml", {}},
          {Act::convert, "", {{"終了", kConverted, kMbOk}}}},
         1,
         nullptr,
         nullptr,
         0,
         {"corrected.xml"},
         {"no such folder", "route.xml"}},
        // An output name without .xml is replaced by the proposed one, without a message.
        {"output-name-proposed",
         "{dir}route.mem",
         {{Act::typeOutput, "{dir}b.xml.txt", {}}, {Act::convert, "", {}}},
         0,
         "{dir}route.mem",
         "{dir}route.xml",
         IDC_OUTPUT_FILE,
         {},
         {"route.xml", "b.xml.txt"}},
        {"proposed-name-then-converts",
         "{dir}route.mem",
         {{Act::typeOutput, "", {}}, {Act::convert, "", {}}, {Act::convert, "", {{"終了", kConverted, kMbOk}}}},
         1,
         nullptr,
         nullptr,
         0,
         {"route.xml"},
         {}},
        // The last file of a drop counts; a refused drop leaves the boxes as they were.
        {"drop-files",
         "",
         {{Act::drop, "{dir}a.txt|{dir}route.MEM", {}},
          {Act::drop, "{dir}route.mem|{dir}notes.doc", {{"Error", kDropRefused, kMbOk | kMbIconExclamation}}}},
         0,
         "{dir}route.MEM",
         "{dir}route.xml",
         0,
         {},
         {"route.xml"}},
        {"cancel", "{dir}route.mem", {{Act::cancel, "", {}}}, 2, nullptr, nullptr, 0, {}, {"route.xml"}},
    };
    return cases;
}

}  // namespace dialogcases
