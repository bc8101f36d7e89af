// The command line's habits (aliases, --opt=value, -h, did you mean, the closing line) and the
// messages that name what is wrong with an input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "text/Utf8.h"
#include "support/CliRun.h"
#include "support/TempDir.h"

namespace {
const std::string kUsageLine = "使い方は quorvel-cli --help で表示されます\n";

TEST(CliHabits, FormatsByAnyCaseOrExtensionAndValuesJoinedByEquals) {
    TempDir dir;
    const std::string in = dir.File("a.csv");
    WriteFileBytes(in, "name,lat,lon\nA,35.5,139.5\n");
    const struct {
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {{in, "--to", "GPX"}, "a.gpx"},
        {{in, "--to=json"}, "a.geojson"},
        {{in, "--to", "xml"}, "a.xml"},
        {{in, "--to=KMZ"}, "a.kmz"},
        {{in, "--to", "tsv", "-o", dir.File("b.csv")}, "b.csv"},
        {{in, "--to=glorie", "-d", dir.File("sub")}, "sub/a.xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const CliOutcome run = RunCli(c.args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(in + " -> " + dir.File(c.output) + " (1 地点)\n"), std::string::npos) << run.out;
    }
    const CliOutcome help = RunCli({"-h"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, RunCli({"--help"}).out);
}

TEST(CliHabits, MistypedOptionsAndFormatsAreAnsweredWithTheNearestAndTheList) {
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"a.csv", "--to", "gxp"}, "不明な出力形式です: gxp (もしかして gpx?)。形式は glorie, mem, gpx, kml, kmz, geojson, csv です"},
        {{"a.csv", "--to=shp"}, "不明な出力形式です: shp。形式は glorie, mem, gpx, kml, kmz, geojson, csv です"},
        {{"a.csv", "--mrege"}, "不明なオプションです: --mrege (もしかして --merge?)"},
        {{"a.csv", "--all-point"}, "不明なオプションです: --all-point (もしかして --all-points?)"},
        {{"a.csv", "--list=yes"}, "オプション --list は値を取りません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        const CliOutcome run = RunCli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "quorvel-cli: " + c.err + "\n" + kUsageLine);
    }
}

// Each input whose trouble is of its own kind is told so by name, and the run closes with a count.
TEST(CliHabits, InputsAreToldWhatIsWrongWithThemAndTheRunIsCounted) {
    TempDir dir;
    WriteFileBytes(dir.File("photo.kml"), "\xFF\xD8\xFF\xE0\x00\x10JFIF");
    WriteFileBytes(dir.File("shops.csv"),
                   "name,lat,lon\nセブン-イレブン 千代田店,35.6,139.7\nセブン-イレブン 神田店,35.61,139.71\n"
                   "駅,35.62,139.72\n");
    const CliOutcome photo = RunCli({dir.File("photo.kml"), "--to", "gpx"});
    EXPECT_EQ(photo.status, 1);
    EXPECT_EQ(photo.err, "ファイル " + dir.File("photo.kml") + " は名前は KML ですが、中身は XML の文書ではありません\n");
    EXPECT_FALSE(FileExists(dir.File("photo.gpx")));

    const CliOutcome shops = RunCli({dir.File("shops.csv"), "--reading", "none"});
    EXPECT_EQ(shops.status, 0);
    EXPECT_EQ(shops.err, "警告: " + dir.File("shops.csv") +
                             ": 2 地点の名称はナビの 16 バイトに収まらないので切り詰めます (例:「セブン-イレブン 千代田店」→「セブン-イレブン 」)\n"
                             "合計: 警告 1 件、変換できなかった地点 0 件\n");
}

// On the equator or the prime meridian a point is neither south nor west; 0/0 is no position.
TEST(CliHabits, LatitudeOrLongitudeZeroGoesToTheUnit) {
    TempDir dir;
    const std::string in = dir.File("zero.csv");
    WriteFileBytes(in, "name,lat,lon\nEquator,0,139.5\nGreenwich,51.5,0\nNull,0,0\nSouth,-0.1,139.5\n");
    const CliOutcome run = RunCli({in, "--reading", "none", "--to", "mem"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, in + " -> " + dir.File("zero.mem") + " (2 地点)\n");
    EXPECT_NE(run.err.find(in + ": 4 行目「Null」: 座標 (緯度 0, 経度 0) は位置がないことを表します\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(in + ": 5 行目「South」: 南緯または西経の座標はナビに記録できません (緯度 -0.1, 経度 139.5)\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Equator」: 南緯"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Greenwich」: 南緯"), std::string::npos) << run.err;
}
}  // namespace

// "-" through a pipe: standard input of the format its content shows (or --from's), the one
// document to standard output, what is said to standard error.
TEST(CliHabits, StandardInputAndOutputThroughAPipe) {
    TempDir dir;
    const std::string cli = QUORVEL_CLI_PATH;
    WriteFileBytes(dir.File("in.csv"), "35.6812,139.7671,東京駅\n34.7025,135.4959,大阪駅\n");
    WriteFileBytes(dir.File("links.txt"), "geo:35.6812,139.7671 東京駅\nhttps://maps.app.goo.gl/x\n");
    const auto sh = [&](const std::string& command) { return std::system(("cd " + dir.Path() + " && " + command).c_str()); };
    ASSERT_EQ(sh(cli + " in.csv --to gpx -o file.gpx >/dev/null"), 0);
    ASSERT_EQ(sh("mkdir tmp && cat in.csv | TMPDIR=$PWD/tmp " + cli + " - --to gpx > piped.gpx 2>piped.err"), 0);
    EXPECT_EQ(sh("rmdir tmp"), 0);  // the document's way through a temporary folder left nothing
    EXPECT_EQ(ReadFileBytes(dir.File("piped.gpx")), ReadFileBytes(dir.File("file.gpx")));
    EXPECT_EQ(ReadFileBytes(dir.File("piped.err")), "- -> - (2 地点)\n");
    ASSERT_EQ(sh("cat in.csv | " + cli + " --from=csv - -o piped.xml --reading none >/dev/null 2>&1"), 0);
    ASSERT_EQ(sh(cli + " in.csv -o file.xml --reading none >/dev/null 2>&1"), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("piped.xml")), ReadFileBytes(dir.File("file.xml")));
    // A refused line: the document of the rest still goes out, the status says so.
    EXPECT_NE(sh("cat links.txt | " + cli + " - -o - --to csv --reading none > links.csv 2>links.err"), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("links.csv")),
              "name,reading,latitude,longitude,digits\r\n東京駅,,35.6812000,139.7671000,\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("links.err")),
              "警告: -: 2 行目: リンク「https://maps.app.goo.gl/x」に座標がありません（短縮リンクは地図で開き、座標の入ったリンクを"
              "コピーしてください）。この地点は読みません\n- -> - (1 地点)\n-: 1 地点は変換できませんでした\n"
              "合計: 警告 1 件、変換できなかった地点 1 件\n");
}

// A set's members are numbered as wide as the last (out-01 ... out-15): in a glob's order a merge
// gives the points back in theirs; a rewrite removes the earlier set's members of narrower names.
TEST(CliHabits, MembersSortInTheirOrderAndAMergeKeepsIt) {
    TempDir dir;
    const auto table = [](int count) {
        std::string csv = "name,lat,lon\n";
        for (int i = 1; i <= count; ++i) csv += "P" + std::to_string(10000 + i) + ",35." + std::to_string(10000 + i) + ",139.5\n";
        return csv;
    };
    WriteFileBytes(dir.File("nine.csv"), table(900));
    WriteFileBytes(dir.File("all.csv"), table(1450));
    ASSERT_EQ(RunCli({dir.File("nine.csv"), "-o", dir.File("out.mem"), "--reading", "none"}).status, 0);
    EXPECT_TRUE(FileExists(dir.File("out-9.mem")));
    const CliOutcome rewrite = RunCli({dir.File("all.csv"), "-o", dir.File("out.mem"), "--reading", "none"});
    ASSERT_EQ(rewrite.status, 0) << rewrite.err;
    std::vector<std::string> members;  // in a shell glob's order: the names sorted
    for (const std::string& name : dir.List())
        if (name.compare(0, 4, "out-") == 0) members.push_back(dir.File(name));
    ASSERT_EQ(members.size(), 15u);
    EXPECT_EQ(members.front(), dir.File("out-01.mem"));
    EXPECT_EQ(members[9], dir.File("out-10.mem"));
    EXPECT_EQ(members.back(), dir.File("out-15.mem"));
    for (int k = 1; k <= 9; ++k) EXPECT_NE(rewrite.out.find(dir.File("out-" + std::to_string(k) + ".mem") + " は"), std::string::npos);

    std::vector<std::string> args = members;
    args.insert(args.end(), {"--merge", "-o", dir.File("merged.csv"), "--datum", "tokyo"});
    ASSERT_EQ(RunCli(args).status, 0);
    const std::string merged = ReadFileBytes(dir.File("merged.csv"));
    std::size_t at = 0;
    for (int i = 1; i <= 1450; ++i) {
        at = merged.find("\nP" + std::to_string(10000 + i) + ",", at);
        ASSERT_NE(at, std::string::npos) << "P" << 10000 + i << " out of order";
    }
}

// Help answers every usual ask (Windows' /? too) and fits an 80-column terminal, a wide
// character taking two columns.
TEST(CliHabits, HelpForEveryAskFitsEightyColumns) {
    const CliOutcome help = RunCli({"--help"});
    for (const char* ask : {"/?", "-?", "-h"}) {
        const CliOutcome asked = RunCli({ask});
        EXPECT_EQ(asked.status, 0) << ask;
        EXPECT_EQ(asked.out, help.out) << ask;
    }
    std::size_t at = 0;
    for (std::size_t end; (end = help.out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = help.out.substr(at, end - at);
        std::size_t columns = 0;
        for (std::size_t i = 0; i < line.size();) {
            const char32_t c = NextCodePoint(line, i);
            columns += c >= 0x1100 && !(c >= 0xFF61 && c <= 0xFF9F) ? 2 : 1;
        }
        EXPECT_LE(columns, 80u) << line;
    }
    EXPECT_NE(help.out.find("  --verbose  "), std::string::npos);
}

// --datum in the words people use for it, or the accepted ones named.
TEST(CliHabits, DatumWords) {
    const struct {
        const char* word;
        CliArguments::Datum datum;
    } cases[] = {
        {"tokyo", CliArguments::Datum::tokyo},
        {"日本測地系", CliArguments::Datum::tokyo},
        {"Tokyo", CliArguments::Datum::tokyo},
        {"wgs84", CliArguments::Datum::wgs84},
        {"WGS-84", CliArguments::Datum::wgs84},
        {"世界測地系", CliArguments::Datum::wgs84},
        {"jgd2011", CliArguments::Datum::wgs84},
        {"JGD2000", CliArguments::Datum::wgs84},
        {"日本測地系2011", CliArguments::Datum::wgs84},
    };
    for (const auto& c : cases) {
        const CliArguments parsed = CliArguments::Parse({"a.gpx", "--datum", c.word});
        EXPECT_EQ(parsed.error, "") << c.word;
        EXPECT_EQ(parsed.datum, c.datum) << c.word;
    }
    EXPECT_EQ(RunCli({"a.gpx", "--datum=jgd"}).err,
              "quorvel-cli: --datum は tokyo (日本測地系) か wgs84 (世界測地系、JGD2000、JGD2011) です: jgd\n" + kUsageLine);
}

// A warning that comes for many points is one line an input and cause, with the count and the
// first three points; --verbose says each point's own. A cause of one point says its own.
TEST(CliHabits, PointWarningsGroupedByCauseUnlessVerbose) {
    TempDir dir;
    const std::string in = dir.File("sea.gpx");
    std::string gpx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (int i = 1; i <= 4; ++i) gpx += "<wpt lat=\"1" + std::to_string(i) + "\" lon=\"150\"><name>海" + std::to_string(i) + "</name></wpt>\n";
    gpx += "<wpt lat=\"35.68\" lon=\"139.76\"><name>♨温泉</name></wpt>\n<wpt lat=\"35.69\" lon=\"139.7\"><name>♨湯♨</name></wpt>\n";
    gpx += "<wpt lat=\"34\" lon=\"135\"><name>沖</name></wpt>\n</gpx>\n";
    WriteFileBytes(in, gpx);
    const std::string helmert = "日本の範囲の外です。測地系は Helmert 変換で換算しました (精度は数百 m 以下になることがあります)";
    const std::string sea = "警告: " + in + ": 9 行目「沖」: 地域パラメータにデータのない場所です。測地系は Helmert 変換で換算しました\n";
    const struct {
        bool verbose;
        std::string err;
    } cases[] = {
        {false, "警告: " + in + ": 4 地点は" + helmert + " (例: 3 行目「海1」、4 行目「海2」、5 行目「海3」ほか)\n" + sea + "警告: " + in +
                    ": 2 地点の名称にナビで表示できない文字があります。「?」にしました (例: 7 行目「♨温泉」の「♨」、8 行目「♨湯♨」の「♨」「♨」)\n"
                    "合計: 警告 3 件、変換できなかった地点 0 件\n"},
        {true, "警告: " + in + ": 3 行目「海1」: " + helmert + "\n警告: " + in + ": 4 行目「海2」: " + helmert + "\n警告: " + in +
                   ": 5 行目「海3」: " + helmert + "\n警告: " + in + ": 6 行目「海4」: " + helmert + "\n" + sea + "警告: " + in +
                   ": 7 行目「♨温泉」: 文字「♨」はナビで表示できません。「?」にしました\n警告: " + in +
                   ": 8 行目「♨湯♨」: 文字「♨」はナビで表示できません。「?」にしました\n警告: " + in +
                   ": 8 行目「♨湯♨」: 文字「♨」はナビで表示できません。「?」にしました\n合計: 警告 8 件、変換できなかった地点 0 件\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {in, "--reading", "none", "-o", dir.File(c.verbose ? "v.xml" : "g.xml")};
        if (c.verbose) args.push_back("--verbose");
        const CliOutcome run = RunCli(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, c.err);
    }
    // The documents are the same either way.
    EXPECT_EQ(ReadFileBytes(dir.File("v.xml")), ReadFileBytes(dir.File("g.xml")));
}

// The readers' warnings of many points too: a control character, a phone number of no digits.
TEST(CliHabits, ReadersWarningsGroupedByCauseUnlessVerbose) {
    TempDir dir;
    const std::string in = dir.File("t.csv");
    WriteFileBytes(in, "lat,lon,name,tel\n35.1,139.1,一\x01つ,a\n35.2,139.2,二\x02つ,b\n35.3,139.3,三\x03つ,03\n35.4,139.4,四\x04つ,c\n");
    const std::string w = "警告: " + in + ": ";
    const struct {
        bool verbose;
        std::string err;
    } cases[] = {
        {false, w + "4 地点の名称か読みに表示できない制御文字があります。空白にしました (例: 2 行目「一 つ」、3 行目「二 つ」、4 行目「三 つ」ほか)\n" + w +
                    "3 地点の電話番号は数字ではないので使いません (例: 2 行目「a」、3 行目「b」、5 行目「c」)\n合計: 警告 2 件、変換できなかった地点 0 件\n"},
        {true, w + "2 行目: 電話番号「a」は数字ではないので使いません\n" + w + "2 行目「一 つ」: 制御文字 U+0001 は表示できません。空白にしました\n" + w +
                   "3 行目: 電話番号「b」は数字ではないので使いません\n" + w + "3 行目「二 つ」: 制御文字 U+0002 は表示できません。空白にしました\n" + w +
                   "4 行目「三 つ」: 制御文字 U+0003 は表示できません。空白にしました\n" + w + "5 行目: 電話番号「c」は数字ではないので使いません\n" + w +
                   "5 行目「四 つ」: 制御文字 U+0004 は表示できません。空白にしました\n合計: 警告 7 件、変換できなかった地点 0 件\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {in, "--reading", "none", "--to", "gpx", "-o", dir.File(c.verbose ? "v.gpx" : "g.gpx")};
        if (c.verbose) args.push_back("--verbose");
        const CliOutcome run = RunCli(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(ReadFileBytes(dir.File("v.gpx")), ReadFileBytes(dir.File("g.gpx")));
}

TEST(CliHabits, EmptyStandardInputIsSaid) {
    TempDir dir;
    const std::string cli = QUORVEL_CLI_PATH;
    const int status = std::system(("printf '\\n' | " + cli + " - --to gpx >" + dir.File("out") + " 2>" + dir.File("err")).c_str());
    EXPECT_NE(status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("err")), "quorvel-cli: 標準入力が空です。変換するファイルをパイプかリダイレクト (< ファイル) で渡して下さい\n");
    EXPECT_EQ(ReadFileBytes(dir.File("out")), "");
}
