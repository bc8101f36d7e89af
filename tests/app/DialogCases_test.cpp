// The cases every front of the dialog passes (support/DialogCases.h), on the recording UI.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "support/CliRun.h"
#include "support/DialogCases.h"
#include "support/MemImage.h"
#include "support/TempDir.h"

namespace dialogcases {
// A failing case is named, not dumped as bytes.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
}  // namespace dialogcases

namespace {
using dialogcases::Act;
using dialogcases::Case;

std::string RoutePoints() {
    return MemImage()
        .Use(0)
        .Name(0, "ALPHA")
        .Reading(0, "\xB1\xD9\xCC\xA7")  // ｱﾙﾌｧ
        .Longitude(0, MemImage::Seconds(139, 45, 30), 0x80)
        .Latitude(0, MemImage::Seconds(35, 39, 29), 0x40)
        .Digits(0, "0312345678")
        .Use(1)
        .Name(1, "\x93\x8c\x8b\x9e")  // 東京 in CP932
        .Longitude(1, MemImage::Seconds(135, 30, 0), 0)
        .Latitude(1, MemImage::Seconds(34, 40, 0), 0)
        .Bytes();
}

std::string BoxLine(const std::string& caption, unsigned style, const std::string& text) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", style);
    return "MessageBox " + caption + " " + hex + " | " + text;
}

struct DialogCases : ::testing::TestWithParam<Case> {};

TEST_P(DialogCases, EveryFrontAlike) {
    const Case& c = GetParam();
    const TempDir dir;
    const std::string folder = dir.Path() + "/";
    const auto expand = [&folder](const char* pattern) { return dialogcases::Expand(pattern, folder, '/'); };
    WriteFileBytes(dir.File("route.mem"), RoutePoints());
    WriteFileBytes(dir.File("short.mem"), RoutePoints().substr(1));
    WriteFileBytes(dir.File("route.dat"), RoutePoints());
    // What the command line writes for the same input, made elsewhere.
    const TempDir reference;
    WriteFileBytes(reference.File("route.mem"), RoutePoints());
    ASSERT_EQ(RunCli({reference.File("route.mem")}).status, 0);
    const std::string document = ReadFileBytes(reference.File("route.xml"));

    const CConverterApp app("/opt/bin/quorvel");
    RecordingDialogUi ui;
    CMainDlg dlg(ui, CMainDlg::Inputs::all);
    const std::string start = expand(c.commandLine);
    EXPECT_TRUE(dlg.OnInitDialog(CString(start)));
    EXPECT_EQ(ui.inputBox, start);
    EXPECT_EQ(ui.outputBox, dialogcases::ProposedOutput(start));
    for (const dialogcases::Step& step : c.steps) {
        ui.ClearLog();
        switch (step.act) {
        case Act::typeOutput:
            ui.outputBox = expand(step.names);
            dlg.OnBoxEdited();
            break;
        case Act::convert: EXPECT_TRUE(dlg.OnCommand(IDOK)); break;
        case Act::drop: {
            std::vector<CString> names;
            for (const std::string& name : dialogcases::ExpandList(step.names, folder, '/')) names.emplace_back(name);
            dlg.OnDropFiles(names);
            break;
        }
        case Act::cancel: EXPECT_TRUE(dlg.OnCommand(IDCANCEL)); break;
        }
        std::vector<std::string> shown, expected;
        for (const std::string& line : ui.log)
            if (line.rfind("MessageBox ", 0) == 0) shown.push_back(line);
        for (const dialogcases::Box& box : step.boxes) expected.push_back(BoxLine(box.caption, box.style, expand(box.text)));
        EXPECT_EQ(shown, expected);
    }
    EXPECT_EQ(ui.endResult, c.endResult);
    if (c.inputBox) {
        EXPECT_EQ(ui.inputBox, expand(c.inputBox));
    }
    if (c.outputBox) {
        EXPECT_EQ(ui.outputBox, expand(c.outputBox));
    }
    if (c.focus) {
        EXPECT_EQ(ui.focus, c.focus);
    }
    for (const char* name : c.written) EXPECT_TRUE(ReadFileBytes(dir.File(name)) == document) << name;
    for (const char* name : c.absent) EXPECT_FALSE(FileExists(dir.File(name))) << name;
}

INSTANTIATE_TEST_SUITE_P(Every, DialogCases, ::testing::ValuesIn(dialogcases::Cases()),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             std::string name = param.param.name;
                             for (char& ch : name)
                                 if (ch == '-') ch = '_';
                             return name;
                         });
}  // namespace
