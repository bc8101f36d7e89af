// The convert command over real files: name checks, messages and their order, the ending.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "support/CliRun.h"
#include "support/FailingPosixCalls.h"
#include "support/MemImage.h"
#include "support/TempDir.h"
#include "res/resource.h"

namespace {
using Log = std::vector<std::string>;

const char kConverted[] = "MessageBox 終了 0x0 | 変換が終了しました。\nOKボタンを押して下さい。";

std::string LoadFailed(const std::string& name) {
    return "MessageBox ERROR 0x0 | ファイル " + name + " の読み込みに失敗しました";
}

// Two named points; the document must hold both.
std::string TwoPoints() {
    return MemImage()
        .Use(0)
        .Name(0, "ALPHA")
        .Longitude(0, MemImage::Seconds(139, 45, 30), 0x80)
        .Latitude(0, MemImage::Seconds(35, 39, 29), 0x40)
        .Digits(0, "0312345678")
        .Use(1)
        .Name(1, "BRAVO")
        .Longitude(1, MemImage::Seconds(135, 30, 0), 0)
        .Latitude(1, MemImage::Seconds(34, 40, 0), 0)
        .Bytes();
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A whole document: the header's first line, both points, the closing line last.
void ExpectWholeDocument(const std::string& path) {
    ASSERT_TRUE(FileExists(path)) << path;
    const std::string doc = ReadFileBytes(path);
    EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n", 0), 0u);
    EXPECT_EQ(Count(doc, "\t<gpoi>\r\n"), 2);
    EXPECT_EQ(Count(doc, "<nb>ALPHA</nb>"), 1);
    EXPECT_EQ(Count(doc, "<nb>BRAVO</nb>"), 1);
    const std::string closing = "</glorie>\r\n";
    ASSERT_GE(doc.size(), closing.size());
    EXPECT_EQ(doc.substr(doc.size() - closing.size()), closing);
}

struct ConvertTest : ::testing::Test {
    TempDir dir;
    DialogUnderTest t;
    std::string input = dir.File("route.mem");
    std::string output = dir.File("route.xml");

    void SetUp() override { WriteFileBytes(input, TwoPoints()); }
    void Press(const std::string& in, const std::string& out) {
        t.ui.inputBox = in;
        t.ui.outputBox = out;
        t.ui.ClearLog();
        EXPECT_TRUE(t.dlg.OnCommand(IDOK));
    }
};

// A name of no kind the dialog reads (here: no map files wired) gets the store's refusal, which
// does not open the file; an empty box only the focus.
std::string Refused(const std::string& name) {
    return "MessageBox quorvel 0x30 | " + name + "\n    は認識できないファイルです";
}

TEST_F(ConvertTest, NameChecksEndTheCommandWithoutReadingAFile) {
    const std::string txt = dir.File("route.txt");
    WriteFileBytes(txt, TwoPoints());
    struct Case {
        std::string in, out;
        Log log;
        std::string outputBox;
    };
    const std::string bak = input + ".bak", blank = input + " ";
    const std::vector<Case> cases = {
        {txt, output, {"ReadBoxes", Refused(txt), LoadFailed(txt), "GotoInputBox"}, output},
        {"", "", {"ReadBoxes", "GotoInputBox"}, ""},
        {bak, output, {"ReadBoxes", Refused(bak), LoadFailed(bak), "GotoInputBox"}, output},
        {blank, output, {"ReadBoxes", Refused(blank), LoadFailed(blank), "GotoInputBox"}, output},
        // only the input check acts
        {txt, "b.doc", {"ReadBoxes", Refused(txt), LoadFailed(txt), "GotoInputBox"}, "b.doc"},
        {dir.File("A.Mem"), "", {"ReadBoxes", "WriteBoxes " + dir.File("A.Mem") + " | " + dir.File("A.xml"), "FocusBox 1001"}, dir.File("A.xml")},
        {input, output + ".txt", {"ReadBoxes", "WriteBoxes " + input + " | " + output, "FocusBox 1001"}, output},
        {input, dir.File("b.xm"), {"ReadBoxes", "WriteBoxes " + input + " | " + output, "FocusBox 1001"}, output},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in + " / " + c.out);
        Press(c.in, c.out);
        EXPECT_EQ(t.ui.log, c.log);
        EXPECT_EQ(t.ui.outputBox, c.outputBox);
        EXPECT_EQ(t.ui.endResult, 0);
    }
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"route.mem", "route.txt"}));
}

TEST_F(ConvertTest, ProposedNameThenConvertsOnTheNextPress) {
    Press(input, "");
    EXPECT_EQ(t.ui.outputBox, output);
    EXPECT_FALSE(FileExists(output));
    t.ui.ClearLog();
    t.dlg.OnCommand(IDOK);
    EXPECT_EQ(t.ui.log, (Log{"ReadBoxes", kConverted, "ReadBoxes", "EndDialog 1"}));
    ExpectWholeDocument(output);
}

TEST_F(ConvertTest, OutputExtensionInAnyCaseIsKept) {
    const std::string mixed = dir.File("b.XmL");
    Press(input, mixed);
    EXPECT_EQ(t.ui.log, (Log{"ReadBoxes", kConverted, "ReadBoxes", "EndDialog 1"}));
    EXPECT_EQ(t.ui.endResult, IDOK);
    ExpectWholeDocument(mixed);
}

TEST_F(ConvertTest, FailedLoadShowsTheStoreReasonThenItsOwnMessage) {
    const std::string shortFile = dir.File("short.mem");
    WriteFileBytes(shortFile, TwoPoints().substr(1));
    const std::string missing = dir.File("missing.mem");
    struct Case {
        std::string in;
        std::string storeBox;
    };
    const std::vector<Case> cases = {
        {shortFile, "MessageBox quorvel 0x30 | " + shortFile + "\n    は認識できないファイルです"},
        {missing, "MessageBox quorvel 0x30 | ファイルが見つかりませんでした。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        const std::string out = c.in.substr(0, c.in.size() - 3) + "xml";
        Press(c.in, out);
        EXPECT_EQ(t.ui.log, (Log{"ReadBoxes", c.storeBox, LoadFailed(c.in)}));
        EXPECT_EQ(t.ui.endResult, 0);
        EXPECT_FALSE(FileExists(out));
    }
}

TEST_F(ConvertTest, OutputThatCannotBeOpenedLeavesTheDialogOpen) {
    const std::string nowhere = dir.File("no-such-folder/route.xml");
    Press(input, nowhere);
    EXPECT_EQ(t.ui.log, (Log{"ReadBoxes", "MessageBox quorvel 0x30 | \"" + nowhere + "\"\n\n不正パス"}));
    EXPECT_EQ(t.ui.endResult, 0);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"route.mem"});

    Press(input, output);  // corrected
    EXPECT_EQ(t.ui.log, (Log{"ReadBoxes", kConverted, "ReadBoxes", "EndDialog 1"}));
    ExpectWholeDocument(output);
}

TEST_F(ConvertTest, FileFailureInsideTheCommandIsReportedOnceAndTheDialogStaysUsable) {
    WriteFileBytes(output, "earlier document");
    struct Case {
        FailingPosixCalls::Call call;
        int err;
        std::string report;
    };
    const std::vector<Case> cases = {
        {FailingPosixCalls::Call::Write, ENOSPC, "MessageBox quorvel 0x10 | " + output + " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"},
        {FailingPosixCalls::Call::Read, EIO, "MessageBox quorvel 0x10 | " + input + " へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        {
            FailingPosixCalls failing;
            failing.Fail(c.call, 1, c.err, true);
            Press(input, output);
        }
        EXPECT_EQ(t.ui.log, (Log{"ReadBoxes", c.report}));
        EXPECT_EQ(t.ui.endResult, 0);
        EXPECT_EQ(ReadFileBytes(output), "earlier document");
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"route.mem", "route.xml"}));
    }
    Press(input, output);  // a retry converts
    EXPECT_EQ(t.ui.log, (Log{"ReadBoxes", kConverted, "ReadBoxes", "EndDialog 1"}));
    ExpectWholeDocument(output);
}
// The dialog's document is the command line's, byte for byte; the one file the user chose is
// replaced and nothing is made or removed beside it, whatever an earlier set left there.
TEST_F(ConvertTest, TheDocumentIsTheCommandLinesAndNothingLiesBesideIt) {
    TempDir cliDir;
    const std::string cliInput = cliDir.File("route.mem");
    WriteFileBytes(cliInput, TwoPoints());
    ASSERT_EQ(RunCli({cliInput, "-o", cliDir.File("cli.xml")}).status, 0);
    const std::string expected = ReadFileBytes(cliDir.File("cli.xml"));
    struct Case {
        std::vector<std::string> laid;  // besides route.mem, before the conversion
    };
    const std::vector<Case> cases = {
        {{}},
        {{"route.xml"}},
        {{".route.xml.record", "route-1.xml", "route-2.xml", "route.xml"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.laid.size());
        TempDir here;
        const std::string in = here.File("route.mem"), out = here.File("route.xml");
        WriteFileBytes(in, TwoPoints());
        for (const std::string& name : c.laid) WriteFileBytes(here.File(name), "earlier " + name);
        DialogUnderTest fresh;
        fresh.ui.inputBox = in;
        fresh.ui.outputBox = out;
        EXPECT_TRUE(fresh.dlg.OnCommand(IDOK));
        EXPECT_EQ(fresh.ui.log, (Log{"ReadBoxes", kConverted, "ReadBoxes", "EndDialog 1"}));
        EXPECT_EQ(ReadFileBytes(out), expected);
        std::vector<std::string> listed = c.laid;
        listed.push_back("route.mem");
        if (std::find(listed.begin(), listed.end(), "route.xml") == listed.end()) listed.push_back("route.xml");
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(here.List(), listed);
        for (const std::string& name : c.laid) {
            if (name == "route.xml") continue;
            EXPECT_EQ(ReadFileBytes(here.File(name)), "earlier " + name);
        }
    }
}
}  // namespace
