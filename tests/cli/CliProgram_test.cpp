// The built programs run as children, on the checked-in samples.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgramRun.h"
#include "support/TempDir.h"

namespace {
const std::string kCli = QUORVEL_CLI_PATH;
const std::string kMakeSample = QUORVEL_MAKE_SAMPLE_PATH;
const std::string kSamples = QUORVEL_SAMPLES_DIR;

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}
}  // namespace

TEST(CliProgramTest, TheSampleListMakesTheCheckedInMemoryPointFile) {
    TempDir dir;
    const ChildResult made = RunChild(kMakeSample, {kSamples + "/meisho.txt", dir.File("meisho.mem")});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(ReadFileBytes(dir.File("meisho.mem")), ReadFileBytes(kSamples + "/meisho.mem"));
}

TEST(CliProgramTest, TheSampleConvertsToTheCheckedInDocument) {
    TempDir dir;
    WriteFileBytes(dir.File("meisho.mem"), ReadFileBytes(kSamples + "/meisho.mem"));
    const ChildResult run = RunChild(kCli, {"meisho.mem", "-d", "out/deeper"}, dir.Path());
    // The folder's parent is missing: one line, nothing written.
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quorvel-cli: 出力フォルダ out/deeper を作れません (No such file or directory)\n");
    EXPECT_EQ(run.out, "");

    const ChildResult beside = RunChild(kCli, {"meisho.mem"}, dir.Path());
    EXPECT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(beside.err, "");
    EXPECT_EQ(beside.out, "meisho.mem -> meisho.xml (12 地点)\n");
    EXPECT_EQ(ReadFileBytes(dir.File("meisho.xml")), ReadFileBytes(kSamples + "/meisho.xml"));
}

// Expectations worked out by hand from the list, not from the converter.
TEST(CliProgramTest, TheCheckedInDocumentHoldsTheListsPoints) {
    const std::string xml = ReadFileBytes(kSamples + "/meisho.xml");
    const std::string lines[] = {
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n",
        // 東京駅 at 35.678009 139.770334
        "\t<gpoi>\r\n\t\t<index pos=\"+35.67801 +139.77033 00000000 fix tokyo\"/>\r\n",
        "\t\t\t\t\t<lat>35.67801</lat>\r\n\t\t\t\t\t<lon>139.77033</lon>\r\n",
        "\t\t\t\t<nb>\x93\x8c\x8b\x9e\x89\x77</nb>\r\n",
        // 羽田空港T1&T2: the ampersand is escaped, so the document stays well-formed
        "\t\t\t\t<nb>\x89\x48\x93\x63\x8b\xf3\x8d\x60T1&amp;T2</nb>\r\n",
        "\t\t<index pos=\"+35.54615 +139.78304 00000000 fix tokyo\"/>\r\n",
        // 東京ビッグサイト fills all 16 bytes; its reading is half-width katakana
        "\t\t\t\t<nb>\x93\x8c\x8b\x9e\x83\x72\x83\x62\x83\x4f\x83\x54\x83\x43\x83\x67</nb>\r\n"
        "\t\t\t\t<rt>\xc4\xb3\xb7\xae\xb3\xcb\xde\xaf\xb8\xde\xbb\xb2\xc4</rt>\r\n",
        // 大阪城 at 34.684056 135.529013
        "\t\t\t\t\t<lat>34.68406</lat>\r\n\t\t\t\t\t<lon>135.52901</lon>\r\n",
        "\t</gpoi>\r\n</glorie>\r\n",
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        EXPECT_NE(xml.find(line), std::string::npos);
    }
    EXPECT_EQ(CountOf(xml, "\t<gpoi>\r\n"), 12u);
    EXPECT_EQ(CountOf(xml, "<rt>"), 12u);
    EXPECT_EQ(CountOf(xml, "&"), 1u);
    EXPECT_EQ(xml.size() - xml.rfind("</glorie>\r\n"), 11u);
}

TEST(CliProgramTest, ExitStatusesAndStreamsOfTheProgram) {
    TempDir dir;
    WriteFileBytes(dir.File("good.mem"), ReadFileBytes(kSamples + "/meisho.mem"));
    WriteFileBytes(dir.File("bad.mem"), "too short");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{"--version"}, 0, "Quorvel Version 1.100\nファイルの版: 1.0.0.1\n読みの推定: MeCab 0.996\n", ""},
        {{}, 2, "", "quorvel-cli: 入力ファイルが指定されていません\n使い方は quorvel-cli --help で表示されます\n"},
        {{"good.mem", "-o", "x.txt"}, 2, "", "quorvel-cli: 出力ファイル名の拡張子が .xml ではありません: x.txt\n使い方は quorvel-cli --help で表示されます\n"},
        {{"bad.mem", "good.mem", "-d", "."}, 1, "good.mem -> ./good.xml (12 地点)\n", "ファイル bad.mem は 9 バイトです。メモリーポイントファイルは 10804 バイトです\nファイル bad.mem の読み込みに失敗しました\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        const ChildResult run = RunChild(kCli, c.args, dir.Path());
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
}

// An input with a name the outputs' numbering can give (x-2.xml beside x.xml's 1,000 points, at
// any width) would be replaced before it is read: a usage error naming both, nothing written.
TEST(CliProgramTest, AnInputNamedAsAMemberOfAnOutputSetIsRefused) {
    TempDir dir;
    std::string gpx = "<gpx>\n";
    for (int i = 0; i < 1000; ++i) gpx += "<wpt lat=\"35." + std::to_string(i) + "\" lon=\"139.7\"><name>p" + std::to_string(i) + "</name></wpt>\n";
    WriteFileBytes(dir.File("x.gpx"), gpx + "</gpx>\n");
    ASSERT_EQ(RunChild(kCli, {"x.gpx", "-d", "made"}, dir.Path()).status, 0);  // made/x-1.xml, made/x-2.xml: users' files
    const std::string document = ReadFileBytes(dir.File("made/x-2.xml"));
    for (const char* name : {"x-2.xml", "t-2.xml", "x-2024.xml"}) WriteFileBytes(dir.File(name), document);
    WriteFileBytes(dir.File("x-2.mem"), ReadFileBytes(kSamples + "/meisho.mem"));
    const std::vector<std::string> before = dir.List();
    const struct {
        std::vector<std::string> args;
        std::string err;  // empty: converted
    } cases[] = {
        {{"x.gpx", "x-2.xml"}, "入力ファイル x-2.xml は x.gpx の出力 x.xml を分けたファイルの名前と重なります"},
        {{"x.gpx", "x-2.xml", "-d", "."}, "入力ファイル x-2.xml は x.gpx の出力 ./x.xml を分けたファイルの名前と重なります"},
        {{"x.gpx", "x-2.mem", "--to", "mem"}, "入力ファイル x-2.mem は x.gpx の出力 x.mem を分けたファイルの名前と重なります"},
        {{"t-2.xml", "-o", "t.xml"}, "入力ファイル t-2.xml は t-2.xml の出力 t.xml を分けたファイルの名前と重なります"},
        {{"x.gpx", "x-2024.xml"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const ChildResult run = RunChild(kCli, c.args, dir.Path());
        if (!c.err.empty()) {
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.err, "quorvel-cli: " + c.err + "\n使い方は quorvel-cli --help で表示されます\n");
            EXPECT_EQ(dir.List(), before);
            continue;
        }
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "x.gpx -> x-1.xml (700 地点)\nx.gpx -> x-2.xml (300 地点)\nx-2024.xml -> x-2024.converted.xml (300 地点)\n");
    }
    EXPECT_EQ(ReadFileBytes(dir.File("x-2024.xml")), document);
    EXPECT_EQ(ReadFileBytes(dir.File("x-2.xml")), document);
}
