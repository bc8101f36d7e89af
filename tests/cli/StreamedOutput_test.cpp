// -o -: each document streamed to standard output is byte for byte the one a file of the same
// conversion gets; a document that cannot go out whole says so and fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "cli/CliConverter.h"
#include "support/CapturedStandardOutput.h"
#include "support/CliRun.h"
#include "support/FailingPosixCalls.h"
#include "support/TempDir.h"

namespace {
const std::string kCli = QUORVEL_CLI_PATH;
const std::string kSamples = QUORVEL_SAMPLES_DIR;
const std::string kSplit = "標準出力には一つの文書しか書けません (2 個に分かれます)。-o でファイル名を指定して下さい\n";

std::string Table(int count) {
    std::string csv = "name,lat,lon\n";
    for (int i = 1; i <= count; ++i)
        csv += "P" + std::to_string(i) + "," + std::to_string(35.6 + i * 1e-4) + "," + std::to_string(139.5 + i * 1e-4) + "\n";
    return csv;
}

// The inputs of the cases, in a folder of their own.
struct Inputs {
    Inputs() {
        WriteFileBytes(dir.File("meisho.mem"), ReadFileBytes(kSamples + "/meisho.mem"));
        WriteFileBytes(dir.File("p150.csv"), Table(150));
        WriteFileBytes(dir.File("p701.csv"), Table(701));
        WriteFileBytes(dir.File("refused.csv"), "name,lat,lon\nA,95,139.5\nB,35.5,200\n");
        WriteFileBytes(dir.File("strict.csv"), "name,lat,lon\n東京😀,35.5,139.5\n");
        WriteFileBytes(dir.File("south.csv"), "name,lat,lon\nA,35.5,139.5\nS,-35.5,139.5\n");
    }
    TempDir dir;
};

struct StreamCase {
    std::vector<std::string> args;  // -o - added
    int status;
    std::string err;
    // The same conversion into this file, whose bytes standard output must hold; empty: nothing
    // goes to standard output.
    std::string sameAsFile;
};

// Every format (glorie past 100 points and past the stream's 64 KiB buffer), the splits that
// cannot go to one stream, and the failures before any byte.
const StreamCase kCases[] = {
    {{"meisho.mem"}, 0, "meisho.mem -> - (12 地点)\n", "same.xml"},
    {{"meisho.mem", "--to", "mem"}, 0, "meisho.mem -> - (12 地点)\n", "same.mem"},
    {{"meisho.mem", "--to", "gpx"}, 0, "meisho.mem -> - (12 地点)\n", "same.gpx"},
    {{"meisho.mem", "--to", "kml"}, 0, "meisho.mem -> - (12 地点)\n", "same.kml"},
    {{"meisho.mem", "--to", "kmz"}, 0, "meisho.mem -> - (12 地点)\n", "same.kmz"},
    {{"meisho.mem", "--to", "geojson"}, 0, "meisho.mem -> - (12 地点)\n", "same.geojson"},
    {{"meisho.mem", "--to", "csv", "--bom"}, 0, "meisho.mem -> - (12 地点)\n", "same.csv"},
    {{"p150.csv", "--reading", "none"}, 0, "p150.csv -> - (150 地点)\n", "same.xml"},
    {{"p150.csv", "--to", "kml"}, 0, "p150.csv -> - (150 地点)\n", "same.kml"},
    {{"p150.csv", "--to", "mem", "--reading", "none"}, 1, kSplit, ""},
    {{"p701.csv", "--reading", "none"}, 1, kSplit, ""},
    {{"missing.csv"}, 1, "missing.csv が見つかりませんでした。\n", ""},
    {{"refused.csv"},
     1,
     "警告: refused.csv: 2 行目: 緯度「95」は -90〜90 の数値ではありません。この地点は読みません\n"
     "警告: refused.csv: 3 行目: 経度「200」は -180〜180 の数値ではありません。この地点は読みません\n"
     "refused.csv: 2 地点は変換できませんでした\n変換できる地点がないため、- は書きませんでした\n"
     "合計: 警告 2 件、変換できなかった地点 2 件\n",
     ""},
    {{"strict.csv", "--strict", "--reading", "none"},
     1,
     "strict.csv: 2 行目「東京😀」: 文字「😀」はナビで表示できません\n表示できない文字があるため (--strict)、- は書きませんでした\n",
     ""},
    // A point the unit cannot hold: the rest still goes out, the status says so.
    {{"south.csv", "--reading", "none"},
     1,
     "south.csv: 3 行目「S」: 南緯または西経の座標はナビに記録できません (緯度 -35.5, 経度 139.5)\n"
     "警告: south.csv: 3 行目「S」: 日本の範囲の外です。測地系は Helmert 変換で換算しました (精度は数百 m 以下になることがあります)\n"
     "south.csv -> - (1 地点)\nsouth.csv: 1 地点は変換できませんでした\n合計: 警告 1 件、変換できなかった地点 1 件\n",
     "same.xml"},
};

TEST(StreamedOutput, StandardOutputHoldsTheFilesBytesAndOnlyThem) {
    const Inputs inputs;
    for (const StreamCase& c : kCases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", "-"});
        SCOPED_TRACE(args[0] + " " + (args.size() > 3 ? args[2] : ""));
        const ChildResult streamed = RunChild(kCli, args, inputs.dir.Path());
        EXPECT_EQ(streamed.status, c.status);
        EXPECT_EQ(streamed.err, c.err);
        if (c.sameAsFile.empty()) {
            EXPECT_EQ(streamed.out, "");
        } else {
            std::vector<std::string> toFile = c.args;
            toFile.insert(toFile.end(), {"--merge", "-o", c.sameAsFile});
            RunChild(kCli, toFile, inputs.dir.Path());
            const std::string expected = ReadFileBytes(inputs.dir.File(c.sameAsFile));
            ASSERT_FALSE(expected.empty());
            EXPECT_TRUE(streamed.out == expected) << streamed.out.size() << " bytes, the file " << expected.size();
            std::remove(inputs.dir.File(c.sameAsFile).c_str());
        }
    }
    // Nothing beside the inputs: no hidden document, no folder of its own.
    EXPECT_EQ(inputs.dir.List(), (std::vector<std::string>{"meisho.mem", "p150.csv", "p701.csv", "refused.csv", "south.csv", "strict.csv"}));
}

// The stream fails while the document goes out: before its first bytes standard output stays
// empty and the cause is said; after them, also that what went out is incomplete. Never success.
TEST(StreamedOutput, AFailedStreamIsSaidIncompleteAndFails) {
    const Inputs inputs;
    const std::string small = inputs.dir.File("meisho.mem");  // one write of the whole document
    const std::string large = inputs.dir.File("p150.csv");    // 65,699 bytes: the first 64 KiB go out early
    const std::string incomplete = std::string(CliConverter::kIncompleteOutput) + "\n";
    const struct {
        const char* what;
        std::string input;
        int failCall;
        int code;
        std::string err;
        bool someOut;  // a part of the document reached standard output (else none)
    } cases[] = {
        {"the only write fails", small, 1, ENOSPC, "標準出力 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。\n", false},
        {"the last write fails", large, 2, EIO, "標準出力 へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。\n" + incomplete, true},
        {"the first write fails", large, 1, ENOSPC, "標準出力 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CapturedStandardOutput captured;
        CliOutcome run;
        {
            FailingPosixCalls failing;
            failing.Fail(FailingPosixCalls::Call::WriteStandardOutput, c.failCall, c.code);
            run = RunCli({c.input, "-o", "-", "--reading", "none"});
        }
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        ASSERT_EQ(RunCli({c.input, "--merge", "-o", inputs.dir.File("whole.xml"), "--reading", "none"}).status, 0);
        const std::string whole = ReadFileBytes(inputs.dir.File("whole.xml"));
        std::remove(inputs.dir.File("whole.xml").c_str());
        EXPECT_EQ(!captured.bytes.empty(), c.someOut);
        EXPECT_LT(captured.bytes.size(), whole.size());
        EXPECT_EQ(whole.compare(0, captured.bytes.size(), captured.bytes), 0) << "what went out is not the document's beginning";
        // No "-> -" line: a document that did not go out whole is never reported written.
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(inputs.dir.List().size(), 6u);
}
}  // namespace
