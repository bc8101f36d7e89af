// Browsing, dropping, the commands of the window and the about box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "res/resource.h"

namespace {
using Log = std::vector<std::string>;

const char kInputFilter[] = "入力 ファイル (*.mem)|*.mem|すべてのファイル (*.*)|*.*||";
const char kOutputFilter[] = "出力 ファイル (*.xml)|*.xml|すべてのファイル (*.*)|*.*||";
const char kDropRefused[] =
    "MessageBox Error 0x30 | 入力ファイルのファイルタイプが違います。\n拡張子[.mem]のファイルを選択して下さい。";

// A dialog started with a name on the command line, its start-up calls cleared.
struct StartedDialog : DialogUnderTest {
    explicit StartedDialog(const char* cmdLine = "C:\\data\\route.mem") {
        FixedFolderCalls cwd("/work/start");
        dlg.OnInitDialog(cmdLine);
        ui.ClearLog();
    }
};

TEST(MainDlgChoosing, InputBrowseAsksForAMemFileInTheInputFolder) {
    StartedDialog t;
    t.ui.AnswerFileDialog(CString("E:\\trips\\spring.mem"));
    t.dlg.OnCommand(IDC_BROWSE_INPUT);
    ASSERT_EQ(t.ui.requests.size(), 1u);
    const FileDialogRequest& r = t.ui.requests[0];
    EXPECT_TRUE(r.bOpenFileDialog);
    EXPECT_EQ(r.defaultExt, "mem");
    EXPECT_EQ(r.flags, 0x6u);  // hide read-only, overwrite prompt
    EXPECT_EQ(r.filter, kInputFilter);
    EXPECT_EQ(r.title, "入力 ファイル指定");
    EXPECT_EQ(r.initialDir, "C:\\data\\");
    EXPECT_EQ(t.ui.log, (Log{"ChooseFile open", "WriteBoxes E:\\trips\\spring.mem | E:\\trips\\spring.xml",
                             "FocusBox 1001"}));
    EXPECT_EQ(t.dlg.m_strInputFile, "E:\\trips\\spring.mem");
    EXPECT_EQ(t.dlg.m_strOutputFile, "E:\\trips\\spring.xml");

    // Both following browses start in the chosen file's folder.
    t.ui.AnswerFileDialog(std::nullopt);
    t.ui.AnswerFileDialog(std::nullopt);
    t.dlg.OnCommand(IDC_BROWSE_INPUT);
    t.dlg.OnCommand(IDC_BROWSE_OUTPUT);
    ASSERT_EQ(t.ui.requests.size(), 3u);
    EXPECT_EQ(t.ui.requests[1].initialDir, "E:\\trips\\");
    EXPECT_EQ(t.ui.requests[2].initialDir, "E:\\trips\\");
}

TEST(MainDlgChoosing, CancelledBrowsesOnlyMoveTheFocus) {
    struct Case {
        int command;
        Log log;
    };
    const Case cases[] = {
        {IDC_BROWSE_INPUT, {"ChooseFile open", "FocusBox 1000"}},
        {IDC_BROWSE_OUTPUT, {"ChooseFile save", "FocusBox 1001"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        StartedDialog t;
        t.ui.inputBox = "typed.mem";  // the user's typing is not read by a browse
        t.ui.AnswerFileDialog(std::nullopt);
        EXPECT_TRUE(t.dlg.OnCommand(c.command));
        EXPECT_EQ(t.ui.log, c.log);
        EXPECT_EQ(t.ui.inputBox, "typed.mem");
        EXPECT_EQ(t.ui.outputBox, "C:\\data\\route.xml");
        EXPECT_EQ(t.dlg.m_strInputFile, "C:\\data\\route.mem");
        EXPECT_EQ(t.dlg.m_strOutputFile, "C:\\data\\route.xml");
        EXPECT_STREQ(t.dlg.m_szInputDir, "C:\\data\\");
        EXPECT_STREQ(t.dlg.m_szOutputDir, "C:\\data\\");
    }
}

TEST(MainDlgChoosing, OutputBrowseKeepsStartingInTheInputFolder) {
    struct Case {
        const char* cmdLine;
        const char* chosen;
        Log log;
        const char* outputDir;
    };
    const Case cases[] = {
        {"C:\\data\\route.mem", "D:\\out\\x.xml", {"ChooseFile save", "WriteBoxes C:\\data\\route.mem | D:\\out\\x.xml", "FocusBox 1001"}, "C:\\data\\"},
        {"", "D:\\out\\x.xml", {"ChooseFile save", "WriteBoxes  | D:\\out\\x.xml", "FocusBox 1001"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmdLine);
        StartedDialog t(c.cmdLine);
        t.ui.inputBox = "typed.mem";  // lost: the box gets the stored input name again
        t.ui.AnswerFileDialog(CString(c.chosen));
        t.dlg.OnCommand(IDC_BROWSE_OUTPUT);
        ASSERT_EQ(t.ui.requests.size(), 1u);
        const FileDialogRequest& r = t.ui.requests[0];
        EXPECT_FALSE(r.bOpenFileDialog);
        EXPECT_EQ(r.defaultExt, "xml");
        EXPECT_EQ(r.flags, 0x806u);  // hide read-only, overwrite prompt, path must exist
        EXPECT_EQ(r.filter, kOutputFilter);
        EXPECT_EQ(r.title, "出力 ファイル指定");
        EXPECT_EQ(t.ui.log, c.log);
        EXPECT_EQ(t.dlg.m_strOutputFile, c.chosen);
        EXPECT_STREQ(t.dlg.m_szOutputDir, c.outputDir);
        EXPECT_EQ(t.ui.focus, IDC_OUTPUT_FILE);
    }
}

TEST(MainDlgChoosing, DropTakesTheLastFileWhenItIsAMemFile) {
    struct Case {
        std::vector<CString> names;
        Log log;
        const char* input;  // stored names afterwards
        const char* output;
        const char* folder;  // both remembered folders afterwards
    };
    const std::vector<Case> cases = {
        {{"/d/a.mem", "/d/b.txt", "/e/c.mem"}, {"SetBoxText 1000 /e/c.mem", "SetBoxText 1001 /e/c.xml"}, "/e/c.mem", "/e/c.xml", "/e/"},
        {{"/d/TRIP.MEM"}, {"SetBoxText 1000 /d/TRIP.MEM", "SetBoxText 1001 /d/TRIP.xml"}, "/d/TRIP.MEM", "/d/TRIP.xml", "/d/"},
        {{"/d/a.mem", "/d/b.txt"}, {kDropRefused}, "/d/b.txt", "", "C:\\data\\"},
        {{"/d/folder.mem.d"}, {kDropRefused}, "/d/folder.mem.d", "", "C:\\data\\"},
        {{}, {kDropRefused}, "", "", "C:\\data\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        StartedDialog t;
        t.ui.FocusBox(IDC_OUTPUT_FILE);
        t.ui.ClearLog();
        t.dlg.OnDropFiles(c.names);
        EXPECT_EQ(t.ui.log, c.log);
        EXPECT_EQ(t.dlg.m_strInputFile, c.input);
        EXPECT_EQ(t.dlg.m_strOutputFile, c.output);
        EXPECT_STREQ(t.dlg.m_szInputDir, c.folder);
        EXPECT_STREQ(t.dlg.m_szOutputDir, c.folder);
        EXPECT_EQ(t.ui.focus, IDC_OUTPUT_FILE);  // a drop never moves the focus
    }
}

TEST(MainDlgChoosing, RefusedDropKeepsTheBoxesButNotTheStoredNames) {
    StartedDialog t;
    t.dlg.OnDropFiles({"/d/a.mem", "/d/b.txt"});
    EXPECT_EQ(t.ui.inputBox, "C:\\data\\route.mem");
    EXPECT_EQ(t.ui.outputBox, "C:\\data\\route.xml");
    t.ui.ClearLog();
    t.ui.AnswerFileDialog(CString("/out/x.xml"));
    t.dlg.OnCommand(IDC_BROWSE_OUTPUT);
    EXPECT_EQ(t.ui.log, (Log{"ChooseFile save", "WriteBoxes /d/b.txt | /out/x.xml", "FocusBox 1001"}));
    EXPECT_STREQ(t.dlg.m_szOutputDir, "/d/");
}

TEST(MainDlgChoosing, WindowCommands) {
    struct Case {
        int id;
        bool handled;
        Log log;
    };
    const Case cases[] = {
        {IDCANCEL, true, {"EndDialog 2"}},
        {ID_HELP_VERSION, true, {"RunAboutBox"}},
        {IDC_INPUT_FILE, false, {}},
        {IDM_ABOUTBOX, false, {}},  // a system command, not a dialog command
        {0, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        StartedDialog t;
        EXPECT_EQ(t.dlg.OnCommand(c.id), c.handled);
        EXPECT_EQ(t.ui.log, c.log);
    }
}

TEST(MainDlgChoosing, SystemMenuOpensTheAboutBoxWhateverItsLowBits) {
    struct Case {
        unsigned nID;
        bool handled;
    };
    const Case cases[] = {
        {0x0010, true},
        {0x0011, true},
        {0x001F, true},
        {0x10010, true},
        {0x0020, false},
        {0x0000, false},
        {0x000F, false},
        {0xF060, false},
        {0xF020, false},
        {0xF010, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nID);
        StartedDialog t;
        EXPECT_EQ(t.dlg.OnSysCommand(c.nID), c.handled);
        EXPECT_EQ(t.ui.log, c.handled ? Log{"RunAboutBox"} : Log{});
    }
}

TEST(MainDlgChoosing, AboutBoxChangesNothingInTheDialog) {
    StartedDialog t;
    t.ui.FocusBox(IDC_OUTPUT_FILE);
    t.ui.ClearLog();
    for (int i = 0; i < 3; ++i) {
        t.dlg.OnSysCommand(IDM_ABOUTBOX);
        t.dlg.OnCommand(ID_HELP_VERSION);
    }
    EXPECT_EQ(t.ui.log, Log(6, "RunAboutBox"));
    EXPECT_EQ(t.dlg.m_strInputFile, "C:\\data\\route.mem");
    EXPECT_EQ(t.dlg.m_strOutputFile, "C:\\data\\route.xml");
    EXPECT_STREQ(t.dlg.m_szInputDir, "C:\\data\\");
    EXPECT_STREQ(t.dlg.m_szOutputDir, "C:\\data\\");
    EXPECT_EQ(t.ui.focus, IDC_OUTPUT_FILE);
    EXPECT_EQ(t.ui.endResult, 0);
}
}  // namespace
