// File-name rules of the main dialog: extension test, output derivation, start-up names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "res/resource.h"

namespace {
using Log = std::vector<std::string>;

TEST(MainDlgNames, ExtensionTestAndDerivation) {
    struct Case {
        const char* name;
        bool isMem;
        bool isXml;
        const char* output;
        const char* folder;
    };
    const Case cases[] = {
        {"C:\\data\\route.Mem", true, false, "C:\\data\\route.xml", "C:\\data\\"},
        {"route.mem", true, false, "route.xml", ""},
        {"C:\\data.mem\\route", false, false, "C:\\data.mem\\route.xml", "C:\\data.mem\\"},
        {"C:\\data\\route.mem.bak", false, false, "C:\\data\\route.mem.xml", "C:\\data\\"},
        {"C:\\data\\route.mem ", false, false, "C:\\data\\route.xml", "C:\\data\\"},
        {"/home/u/trip.MEM", true, false, "/home/u/trip.xml", "/home/u/"},
        {"C:route.mem", true, false, "C:route.xml", "C:"},
        {"/srv/\xE8\xA1\xA8/a.mem", true, false, "/srv/\xE8\xA1\xA8/a.xml", "/srv/\xE8\xA1\xA8/"},
        {"D:\\out\\b.XmL", false, true, "D:\\out\\b.xml", "D:\\out\\"},
        {"D:\\out\\b.xml.txt", false, false, "D:\\out\\b.xml.xml", "D:\\out\\"},
        {".mem", true, false, ".xml", ""},
        {"a.memo", false, false, "a.xml", ""},
        {"", false, false, ".xml", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CMainDlg::HasExtension(c.name, ".MEM"), c.isMem);
        EXPECT_EQ(CMainDlg::HasExtension(c.name, ".XML"), c.isXml);
        DialogUnderTest t;
        t.dlg.DeriveOutputName(c.name);
        EXPECT_EQ(t.dlg.m_strOutputFile, c.output);
        EXPECT_STREQ(t.dlg.m_szInputDir, c.folder);
        EXPECT_STREQ(t.dlg.m_szOutputDir, c.folder);
        EXPECT_TRUE(t.ui.log.empty());  // deriving touches no box
    }
}

TEST(MainDlgNames, StartUpTakesTheFirstTokenOfTheCommandLine) {
    const std::string longName = "/d/" + std::string(251, 'n') + ".mem";  // 258 bytes
    const std::string fitting = longName.substr(0, 251) + ".mem";         // 255 bytes
    struct Case {
        std::string cmdLine;
        std::string input;
        std::string output;
        std::string folder;  // both remembered folders
    };
    const std::vector<Case> cases = {
        {"", "", "", "/work/start"},
        {"C:\\data\\route.mem", "C:\\data\\route.mem", "C:\\data\\route.xml", "C:\\data\\"},
        {"\"C:\\My Data\\route.mem\"", "C:\\My Data\\route.mem", "C:\\My Data\\route.xml", "C:\\My Data\\"},
        {"C:\\a.mem,D:\\b.xml", "C:\\a.mem", "C:\\a.xml", "C:\\"},
        {"a.mem b.mem", "a.mem b.mem", "a.mem b.xml", ""},
        {"\t\"/x/y.mem\"\n/z.mem", "/x/y.mem", "/x/y.xml", "/x/"},
        {"first.mem\tsecond.mem", "first.mem", "first.xml", ""},
        {"readme.txt", "readme.txt", "readme.xml", ""},
        {"\",,\t\n\"", "", "", "/work/start"},
        {fitting, fitting, fitting.substr(0, 251) + ".xml", "/d/"},
        {fitting + ",x", fitting, fitting.substr(0, 251) + ".xml", "/d/"},
        // A first token that does not fit the work area is refused rather than cut.
        {longName, "", "", "/work/start"},
        {"\"" + longName + "\"", "", "", "/work/start"},
        // A long command line whose first token fits is taken as usual.
        {"a.mem," + std::string(1000, 'x'), "a.mem", "a.xml", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmdLine);
        FixedFolderCalls cwd("/work/start");
        DialogUnderTest t;
        EXPECT_TRUE(t.dlg.OnInitDialog(c.cmdLine));
        Log expected = {"WriteBoxes  | ", "SetBoxText 1000 " + c.input, "SetBoxText 1001 " + c.output};
        if (c.input.empty()) expected.push_back("GotoInputBox");
        EXPECT_EQ(t.ui.log, expected);
        EXPECT_EQ(t.dlg.m_strInputFile, c.input);
        EXPECT_EQ(t.dlg.m_strOutputFile, c.output);
        EXPECT_STREQ(t.dlg.m_szInputDir, c.folder.c_str());
        EXPECT_STREQ(t.dlg.m_szOutputDir, c.folder.c_str());
    }
}

TEST(MainDlgNames, StartUpFolderAlwaysFitsItsBuffer) {
    const std::string deep = "/" + std::string(200, 'a') + "/" + std::string(100, 'b');  // 302 bytes
    const std::string noSeparator = std::string(300, 'c');
    const std::string exact = "/" + std::string(258, 'e');  // 259 bytes
    struct Case {
        std::string cwd;
        bool fail;
        std::string folder;
    };
    const std::vector<Case> cases = {
        {"/home/user", false, "/home/user"},
        {exact, false, exact},
        {exact + "f", false, "/"},                         // cut back to the nearest ancestor
        {deep, false, "/" + std::string(200, 'a') + "/"},  // likewise
        {noSeparator, false, ""},
        {"", true, ""},  // no current folder at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cwd.size());
        FixedFolderCalls cwd(c.cwd, c.fail);
        DialogUnderTest t;
        t.dlg.OnInitDialog("");
        EXPECT_STREQ(t.dlg.m_szInputDir, c.folder.c_str());
        EXPECT_STREQ(t.dlg.m_szOutputDir, c.folder.c_str());
    }
}
}  // namespace
