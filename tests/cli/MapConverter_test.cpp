// quorvel-cli with today's map formats: round trips through the unit's formats, split sets,
// characters the unit cannot show, refused points and inputs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliConverter.h"
#include "text/Cp932Text.h"
#include "formats/FormatRegistry.h"
#include "readings/Gazetteer.h"
#include "readings/ReadingGuesser.h"
#include "mempoint/CMemPointStore.h"
#include "support/CliRun.h"
#include "support/TempDir.h"
#include "support/MemImage.h"

namespace {
// Three places whose Tokyo coordinates are whole multiples of 9", so that their five-decimal
// texts are exact and every road through today's maps must come back to the same document.
std::string ThreePlaces() {
    MemImage image;
    image.Use(0).Name(0, Utf8ToCp932("東京駅")).Reading(0, Utf8ToCp932("ﾄｳｷｮｳｴｷ")).Digits(0, "0312345678").Latitude(0, MemImage::Seconds(35, 40, 48), 0).Longitude(0, MemImage::Seconds(139, 45, 36), 0);
    image.Use(1).Name(1, Utf8ToCp932("大阪城&堀")).Latitude(1, MemImage::Seconds(34, 41, 24), 0).Longitude(1, MemImage::Seconds(135, 30, 0), 0);
    image.Use(2).Name(2, Utf8ToCp932("札幌")).Reading(2, Utf8ToCp932("ｻｯﾎﾟﾛ")).Latitude(2, MemImage::Seconds(43, 3, 36), 0).Longitude(2, MemImage::Seconds(141, 21, 0), 0);
    return image.Bytes();
}

std::string Gpx(const std::string& waypoints) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"test\" "
           "xmlns=\"http://www.topografix.com/GPX/1/1\">\n" +
           waypoints + "</gpx>\n";
}

std::string Waypoint(double lat, double lon, const std::string& name) {
    std::ostringstream w;
    w.precision(10);
    w << "<wpt lat=\"" << lat << "\" lon=\"" << lon << "\"><name>" << name << "</name></wpt>\n";
    return w.str();
}

std::string ManyWaypoints(int count) {
    std::string w;
    // West Tokyo, on land all the way, where the grid has data.
    for (int i = 0; i < count; ++i) w += Waypoint(35.6 + i * 1e-4, 139.5 + i * 1e-4, "P" + std::to_string(i + 1));
    return Gpx(w);
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The point list without its title line, which names the file.
std::string ListBody(const std::string& input) {
    const std::string list = RunCli({"--list", input}).out;
    return list.substr(list.find('\n'));
}

std::vector<double> Coordinates(const std::string& gpx) {
    std::vector<double> values;
    const std::regex number("(lat|lon)=\"([-0-9.]+)\"");
    for (std::sregex_iterator it(gpx.begin(), gpx.end(), number), end; it != end; ++it)
        values.push_back(std::stod((*it)[2]));
    return values;
}
}  // namespace

TEST(MapConverterTest, EveryRoadThroughTodaysMapsComesBackToTheSameDocument) {
    TempDir dir;
    WriteFileBytes(dir.File("p.mem"), ThreePlaces());
    ASSERT_EQ(RunCli({dir.File("p.mem")}).status, 0);
    const std::string direct = ReadFileBytes(dir.File("p.xml"));
    for (const char* format : {"gpx", "kml", "geojson", "csv"}) {
        SCOPED_TRACE(format);
        const std::string map = dir.File(std::string("p.") + format);
        const CliOutcome out = RunCli({dir.File("p.mem"), "--to", format});
        ASSERT_EQ(out.status, 0) << out.err;
        EXPECT_EQ(out.out, dir.File("p.mem") + " -> " + map + " (3 地点)\n");
        const CliOutcome back = RunCli({map, "-o", dir.File("back.xml"), "--reading", "none"});
        ASSERT_EQ(back.status, 0) << back.err;
        EXPECT_EQ(ReadFileBytes(dir.File("back.xml")), direct);
    }
    // The document read back gives the same map as the memory points did, but for the digits,
    // which a document does not carry.
    ASSERT_EQ(RunCli({dir.File("p.xml"), "-o", dir.File("doc.gpx")}).status, 0);
    std::string fromMem = ReadFileBytes(dir.File("p.gpx"));
    fromMem.erase(fromMem.find("    <desc>0312345678</desc>\n"), 28);
    fromMem.erase(fromMem.find("<quorvel:digits>0312345678</quorvel:digits>"), 43);
    EXPECT_EQ(ReadFileBytes(dir.File("doc.gpx")), fromMem);
    // To memory points and back: the same places, the digits included (大阪城&堀 had no reading).
    ASSERT_EQ(RunCli({dir.File("p.gpx"), "--to", "mem", "-o", dir.File("again.mem"), "--reading", "none"}).status, 0);
    EXPECT_EQ(ListBody(dir.File("again.mem")), ListBody(dir.File("p.mem")));
}

TEST(MapConverterTest, TheDatumIsShiftedUnlessTheInputIsAlreadyOnIt) {
    TempDir dir;
    WriteFileBytes(dir.File("p.mem"), ThreePlaces());
    ASSERT_EQ(RunCli({dir.File("p.mem"), "-o", dir.File("shifted.gpx")}).status, 0);
    ASSERT_EQ(RunCli({dir.File("p.mem"), "-o", dir.File("same.gpx"), "--datum", "wgs84"}).status, 0);
    const std::vector<double> shifted = Coordinates(ReadFileBytes(dir.File("shifted.gpx")));
    const std::vector<double> same = Coordinates(ReadFileBytes(dir.File("same.gpx")));
    ASSERT_EQ(same, (std::vector<double>{35.68, 139.76, 34.69, 135.5, 43.06, 141.35}));
    ASSERT_EQ(shifted.size(), same.size());
    for (size_t i = 0; i < same.size(); i += 2) {
        // The Tokyo datum lies 400 to 500 m from WGS 84 in these parts.
        const double north = (shifted[i] - same[i]) * 111000;
        const double east = (shifted[i + 1] - same[i + 1]) * 111000 * std::cos(same[i] * M_PI / 180);
        EXPECT_GT(std::hypot(north, east), 300);
        EXPECT_LT(std::hypot(north, east), 600);
    }
    // WGS 84 in, memory points out and back: within a metre.
    ASSERT_EQ(RunCli({dir.File("shifted.gpx"), "-o", dir.File("w.mem")}).status, 0);
    ASSERT_EQ(RunCli({dir.File("w.mem"), "-o", dir.File("w.gpx")}).status, 0);
    const std::vector<double> again = Coordinates(ReadFileBytes(dir.File("w.gpx")));
    ASSERT_EQ(again.size(), shifted.size());
    for (size_t i = 0; i < again.size(); ++i) EXPECT_NEAR(again[i], shifted[i], 1e-5);
    // Near the 180th meridian the Tokyo datum lies east of it; the point stays east, not west.
    WriteFileBytes(dir.File("dateline.gpx"), Gpx(Waypoint(35, 179.998, "東")));
    ASSERT_EQ(RunCli({dir.File("dateline.gpx"), "-o", dir.File("dateline.mem"), "--reading", "none"}).status, 0);
    ASSERT_EQ(RunCli({dir.File("dateline.mem"), "-o", dir.File("dateline-back.gpx")}).status, 0);
    const std::vector<double> dateline = Coordinates(ReadFileBytes(dir.File("dateline-back.gpx")));
    ASSERT_EQ(dateline.size(), 2u);
    EXPECT_NEAR(dateline[1], 179.998, 1e-5);
}

TEST(MapConverterTest, LargeInputsAreSplitIntoNumberedFilesWrittenAsOneSet) {
    struct Case {
        int points;
        const char* to;
        std::vector<std::string> files;
        std::vector<int> counts;
    };
    const Case cases[] = {
        {700, "glorie", {"in.gpx", "out.xml"}, {700}},
        {701, "glorie", {"in.gpx", "out-1.xml", "out-2.xml"}, {700, 1}},
        {1400, "glorie", {"in.gpx", "out-1.xml", "out-2.xml"}, {700, 700}},
        {100, "mem", {"in.gpx", "out.mem"}, {100}},
        {101, "mem", {"in.gpx", "out-1.mem", "out-2.mem"}, {100, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.points) + " " + c.to);
        TempDir dir;
        WriteFileBytes(dir.File("in.gpx"), ManyWaypoints(c.points));
        const std::string ext = std::string(c.to) == "mem" ? "mem" : "xml";
        const CliOutcome run = RunCli({dir.File("in.gpx"), "--to", c.to, "-o", dir.File("out." + ext), "--reading", "none"});
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(ListWithoutRecords(dir), c.files);
        for (size_t k = 0; k < c.counts.size(); ++k) {
            const std::string bytes = ReadFileBytes(dir.File(c.files[k + 1]));
            if (ext == "xml") {
                EXPECT_EQ(CountOf(bytes, "<gpoi>"), static_cast<size_t>(c.counts[k]));
            } else {
                CMemPointStore store;
                ASSERT_EQ(store.Read(dir.File(c.files[k + 1]).c_str()).status, 0);
                EXPECT_EQ(store.GetCount(), c.counts[k]);
            }
        }
    }

    // A member that cannot be written: no new file stays, the old one keeps its text.
    TempDir dir;
    WriteFileBytes(dir.File("in.gpx"), ManyWaypoints(1401));
    WriteFileBytes(dir.File("out-1.xml"), "old");
    ASSERT_EQ(mkdir(dir.File("out-3.xml").c_str(), 0755), 0);
    const CliOutcome run = RunCli({dir.File("in.gpx"), "-o", dir.File("out.xml"), "--reading", "none"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "\"" + dir.File("out-3.xml") + "\"\n\nファイル アクセス禁止\n");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.gpx", "out-1.xml", "out-3.xml"}));
    EXPECT_EQ(ReadFileBytes(dir.File("out-1.xml")), "old");
}

TEST(MapConverterTest, InputsMergeInOrderAndCharactersTheUnitCannotShowAreReplacedOrRefused) {
    TempDir dir;
    WriteFileBytes(dir.File("a.gpx"), Gpx(Waypoint(35.0, 139.0, "♨温泉") + Waypoint(35.1, 139.1, "駅")));
    WriteFileBytes(dir.File("b.gpx"), Gpx(Waypoint(34.0, 135.0, "城")));
    const CliOutcome merged = RunCli({dir.File("a.gpx"), dir.File("b.gpx"), "--merge", "-o", dir.File("m.xml"),
                                      "--reading", "none"});
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, dir.File("a.gpx") + ", " + dir.File("b.gpx") + " -> " + dir.File("m.xml") + " (3 地点)\n");
    EXPECT_NE(merged.err.find("「♨温泉」: 文字「♨」はナビで表示できません。「?」にしました\n"), std::string::npos) << merged.err;
    const std::string doc = ReadFileBytes(dir.File("m.xml"));
    const size_t spa = doc.find("<nb>?" + Utf8ToCp932("温泉") + "</nb>");
    const size_t station = doc.find("<nb>" + Utf8ToCp932("駅") + "</nb>");
    const size_t castle = doc.find("<nb>" + Utf8ToCp932("城") + "</nb>");
    EXPECT_TRUE(spa < station && station < castle && castle != std::string::npos);

    const CliOutcome strict = RunCli({dir.File("a.gpx"), "--strict", "-o", dir.File("s.xml")});
    EXPECT_EQ(strict.status, 1);
    EXPECT_NE(strict.err.find("表示できない文字があるため (--strict)、" + dir.File("s.xml") + " は書きませんでした\n"),
              std::string::npos)
        << strict.err;
    EXPECT_FALSE(FileExists(dir.File("s.xml")));
}

TEST(MapConverterTest, PointsAndInputsThatCannotBeUsedAreRefusedAndNamed) {
    TempDir dir;
    WriteFileBytes(dir.File("bad.gpx"), Gpx(Waypoint(95.0, 139.0, "北") + Waypoint(-33.86, 151.2, "シドニー") +
                                            Waypoint(35.0, 139.0, "良")));
    const CliOutcome refused = RunCli({dir.File("bad.gpx"), "--reading", "none"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(CountOf(ReadFileBytes(dir.File("bad.xml")), "<gpoi>"), 1u);
    EXPECT_NE(refused.err.find("「シドニー」: 南緯または西経の座標はナビに記録できません"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find(dir.File("bad.gpx") + ": 2 地点は変換できませんでした\n"), std::string::npos) << refused.err;

    WriteFileBytes(dir.File("notes.xml"), "<notes/>\n");
    const CliOutcome neither = RunCli({dir.File("notes.xml"), "--to", "gpx"});
    EXPECT_EQ(neither.status, 1);
    EXPECT_EQ(neither.err, "ファイル " + dir.File("notes.xml") +
                               " はメモリーポイントファイルでも glorie 文書でも地図のファイル (GPX, KML, KMZ, GeoJSON, CSV) でもありません\n");

    // A huge file is refused before it is read (a sparse file costs no disk).
    ASSERT_EQ(truncate((WriteFileBytes(dir.File("huge.csv"), ""), dir.File("huge.csv")).c_str(), 100ll << 20), 0);
    const CliOutcome huge = RunCli({dir.File("huge.csv")});
    EXPECT_EQ(huge.status, 1);
    EXPECT_EQ(huge.err, "ファイル " + dir.File("huge.csv") + " は大きすぎます (100 MB)。読み込めるのは 32 MB までです\n");
    EXPECT_EQ(ListWithoutRecords(dir), (std::vector<std::string>{"bad.gpx", "bad.xml", "huge.csv", "notes.xml"}));

    // A missing input or a folder is named, and the next input still converts.
    ASSERT_EQ(mkdir(dir.File("folder.gpx").c_str(), 0755), 0);
    for (const std::string& input : {dir.File("missing.kml"), dir.File("folder.gpx")}) {
        const CliOutcome run = RunCli({input, dir.File("bad.gpx"), "-d", dir.File("folder.gpx"), "--reading", "none"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
                  input + (input == dir.File("missing.kml") ? " が見つかりませんでした。" : " はフォルダです。入力にはファイルを指定して下さい"));
        EXPECT_NE(run.out.find(dir.File("bad.gpx") + " -> "), std::string::npos);
    }
    const CliOutcome same = RunCli({dir.File("bad.xml"), "-o", dir.File("bad.xml")});
    EXPECT_EQ(same.status, CliConverter::kExitUsage);
    EXPECT_EQ(same.err.substr(0, same.err.find('\n')), "quorvel-cli: 出力ファイル " + dir.File("bad.xml") + " が入力と同じです");
}

// A name derived over its own input gets ".converted" beside it or in -d; an output over another
// input of the batch is refused, every input kept.
TEST(MapConverterTest, AnOutputThatWouldBeItsInputGetsANameOfItsOwn) {
    struct Case {
        std::vector<std::string> args;  // names in the folder; "DIR" stands for it
        int status;
        std::string out, err;  // exact; "DIR" stands for the folder
        std::vector<std::string> files;
    };
    const std::string usage = "\n使い方は quorvel-cli --help で表示されます\n";
    const Case cases[] = {
        {{"p.gpx", "--to", "gpx"}, 0, "DIR/p.gpx -> DIR/p.converted.gpx (1 地点)\n", "", {"p.converted.gpx", "p.gpx"}},
        {{"p.gpx", "--to", "gpx", "-d", "DIR"}, 0, "DIR/p.gpx -> DIR/p.converted.gpx (1 地点)\n", "", {"p.converted.gpx", "p.gpx"}},
        {{"p.xml"}, 0, "DIR/p.xml -> DIR/p.converted.xml (1 地点)\n", "", {"p.converted.xml", "p.gpx", "p.xml"}},
        {{"p.gpx", "p.converted.gpx", "--to", "gpx"}, 2, "", "quorvel-cli: 出力ファイル DIR/p.converted.gpx が入力と同じです" + usage, {"p.converted.gpx", "p.gpx"}},
        {{"q.mem", "q.xml"}, 2, "", "quorvel-cli: 出力ファイル DIR/q.xml が入力と同じです" + usage, {"p.gpx", "q.mem", "q.xml"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const auto in = [&](std::string text) {
            for (std::size_t at = text.find("DIR"); at != std::string::npos; at = text.find("DIR", at)) text.replace(at, 3, dir.Path());
            return text;
        };
        const std::string gpx = Gpx(Waypoint(35.681, 139.767, "東京駅"));
        WriteFileBytes(dir.File("p.gpx"), gpx);
        ASSERT_EQ(RunCli({dir.File("p.gpx"), "-o", dir.File("p.xml"), "--reading", "none"}).status, 0);
        const std::string xml = ReadFileBytes(dir.File("p.xml"));
        const auto given = [&](const char* name) { return std::find(c.args.begin(), c.args.end(), name) != c.args.end(); };
        if (given("q.mem")) {
            WriteFileBytes(dir.File("q.mem"), ThreePlaces());
            WriteFileBytes(dir.File("q.xml"), xml);
        }
        if (given("p.converted.gpx")) WriteFileBytes(dir.File("p.converted.gpx"), gpx);
        if (!given("p.xml")) std::remove(dir.File("p.xml").c_str());
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(arg.find('.') != std::string::npos ? dir.File(arg) : in(arg));
        args.insert(args.end(), {"--reading", "none"});
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const CliOutcome run = RunCli(args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, in(c.out));
        EXPECT_EQ(run.err, in(c.err));
        EXPECT_EQ(ListWithoutRecords(dir), c.files);
        EXPECT_EQ(ReadFileBytes(dir.File("p.gpx")), gpx);
        if (FileExists(dir.File("q.xml"))) {
            EXPECT_EQ(ReadFileBytes(dir.File("q.xml")), xml);
        }
        if (c.status == 0 && c.args[0] == "p.gpx") {
            ASSERT_EQ(RunCli({dir.File("p.gpx"), "-o", dir.File("o.gpx"), "--reading", "none"}).status, 0);
            EXPECT_EQ(ReadFileBytes(dir.File("p.converted.gpx")), ReadFileBytes(dir.File("o.gpx")));
        }
    }
}

TEST(MapConverterTest, TheListShowsBothDatumsAndReadingsAreGuessedWhenMissing) {
    TempDir dir;
    WriteFileBytes(dir.File("p.mem"), ThreePlaces());
    const CliOutcome list = RunCli({"--list", dir.File("p.mem")});
    ASSERT_EQ(list.status, 0) << list.err;
    std::istringstream lines(list.out);
    std::string title, header, first;
    std::getline(lines, title);
    std::getline(lines, header);
    std::getline(lines, first);
    EXPECT_EQ(header, "番号\t名称\t読み\t緯度\t経度\t数字\t緯度(WGS84)\t経度(WGS84)\t測地系変換\t元の名称\t推測");
    EXPECT_EQ(first.substr(0, first.find("\t0312345678\t") + 12), "1\t東京駅\tﾄｳｷｮｳｴｷ\t35.68000\t139.76000\t0312345678\t");
    const std::string end = "\tgrid+東北地方太平洋沖地震\t東京駅\t";  // the file's own reading: not guessed
    EXPECT_EQ(first.substr(first.size() - end.size()), end);

    WriteFileBytes(dir.File("r.gpx"), Gpx(Waypoint(35.681, 139.767, "東京駅")));
    ASSERT_EQ(RunCli({dir.File("r.gpx"), "--reading", "none"}).status, 0);
    EXPECT_EQ(CountOf(ReadFileBytes(dir.File("r.xml")), "<rt>"), 0u);
    if (ReadingGuesser::Backend().empty()) GTEST_SKIP() << "built without a reading guesser";
    ASSERT_EQ(RunCli({dir.File("r.gpx"), "-o", dir.File("g.xml")}).status, 0);
    EXPECT_EQ(CountOf(ReadFileBytes(dir.File("g.xml")), "<rt>" + Utf8ToCp932("ﾄｳｷｮｳｴｷ") + "</rt>"), 1u);
}

TEST(MapConverterTest, TheUsersReadingsComeFirstAndGuessesAreMarkedAndCounted) {
    if (ReadingGuesser::Backend().empty()) GTEST_SKIP() << "built without a reading guesser";
    TempDir dir;
    WriteFileBytes(dir.File("r.gpx"), Gpx(Waypoint(26.217, 127.719, "首里城") + Waypoint(26.217, 127.719, "首里城公園") +
                                          Waypoint(35.68, 139.76, "咥咥駅") + Waypoint(35.68, 139.76, "国道1号") +
                                          Waypoint(35.68, 139.76, "咥咥") + Waypoint(35.68, 139.76, "本場咥咥")));
    WriteFileBytes(dir.File("mine.csv"), Utf8ToCp932("首里城,しゅりじょう\n"));
    WriteFileBytes(dir.File("anywhere.csv"), "咥咥,かみかみ\n");
    const struct {
        std::vector<std::string> readings;
        std::vector<std::string> rows;  // name, reading, guessed
        std::string err;
    } cases[] = {
        {{}, {"首里城\tｼｭﾘｼﾞｮｳ\t○", "首里城公園\tｸﾋﾞｻﾄｼﾞｮｳｺｳｴﾝ\t○", "咥咥駅\t\t", "国道1号\tｺｸﾄﾞｳ1ｺﾞｳ\t○", "咥咥\t\t", "本場咥咥\t\t"}, "警告: " + dir.File("r.gpx") + ": 3 地点の名称の読みを推定できませんでした\n合計: 警告 1 件、変換できなかった地点 0 件\n"},
        {{"--readings", dir.File("mine.csv")},
         {"首里城\tｼｭﾘｼﾞｮｳ\t", "首里城公園\tｼｭﾘｼﾞｮｳｺｳｴﾝ\t○", "咥咥駅\t\t", "国道1号\tｺｸﾄﾞｳ1ｺﾞｳ\t○", "咥咥\t\t", "本場咥咥\t\t"},
         "警告: " + dir.File("r.gpx") + ": 3 地点の名称の読みを推定できませんでした\n合計: 警告 1 件、変換できなかった地点 0 件\n"},
        // An entry anywhere in a name: the rest of it guessed around it.
        {{"--readings", dir.File("anywhere.csv")},
         {"首里城\tｼｭﾘｼﾞｮｳ\t○", "首里城公園\tｸﾋﾞｻﾄｼﾞｮｳｺｳｴﾝ\t○", "咥咥駅\tｶﾐｶﾐｴｷ\t○", "国道1号\tｺｸﾄﾞｳ1ｺﾞｳ\t○", "咥咥\tｶﾐｶﾐ\t", "本場咥咥\tﾎﾝﾊﾞｶﾐｶﾐ\t○"},
         ""},
        // Without guessing, the user's readings still hold for whole names; nothing is counted.
        {{"--readings", dir.File("mine.csv"), "--reading", "none"},
         {"首里城\tｼｭﾘｼﾞｮｳ\t", "首里城公園\t\t", "咥咥駅\t\t", "国道1号\t\t", "咥咥\t\t", "本場咥咥\t\t"},
         ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--list", dir.File("r.gpx")};
        args.insert(args.end(), c.readings.begin(), c.readings.end());
        const CliOutcome list = RunCli(args);
        EXPECT_EQ(list.status, 0);
        EXPECT_EQ(list.err, c.err);
        std::istringstream lines(list.out);
        std::string line;
        std::getline(lines, line);
        std::getline(lines, line);
        for (const std::string& row : c.rows) {
            ASSERT_TRUE(std::getline(lines, line));
            std::vector<std::string> cells;
            std::istringstream fields(line);
            for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
            if (line.back() == '\t') cells.emplace_back();
            ASSERT_EQ(cells.size(), 11u) << line;
            EXPECT_EQ(cells[1] + "\t" + cells[2] + "\t" + cells[10], row);
        }
    }
    // The document takes the user's reading; a line that cannot be taken is said, the rest used;
    // a list that cannot be read converts nothing.
    ASSERT_EQ(RunCli({dir.File("r.gpx"), "--readings", dir.File("mine.csv"), "-o", dir.File("r.xml")}).status, 0);
    EXPECT_EQ(CountOf(ReadFileBytes(dir.File("r.xml")), "<rt>" + Utf8ToCp932("ｼｭﾘｼﾞｮｳ") + "</rt>"), 1u);
    const std::string before = ReadFileBytes(dir.File("r.xml"));
    WriteFileBytes(dir.File("bad.csv"), "首里\n首里城,しゅりじょう\n");
    const CliOutcome bad = RunCli({dir.File("r.gpx"), "--readings", dir.File("bad.csv"), "-o", dir.File("r.xml")});
    EXPECT_EQ(bad.status, 0);
    EXPECT_EQ(bad.err.substr(0, bad.err.find('\n') + 1),
              "警告: " + dir.File("bad.csv") + ": 1 行目: 名称と読みの二つの列が要ります。この行は使いません\n");
    EXPECT_EQ(ReadFileBytes(dir.File("r.xml")), before);
    const CliOutcome none = RunCli({dir.File("r.gpx"), "--readings", dir.File("none.csv"), "-o", dir.File("r.xml")});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, dir.File("none.csv") + " が見つかりませんでした。\n");
    EXPECT_EQ(ReadFileBytes(dir.File("r.xml")), before);
}

// A table carries each guess marked 推測; read back it keeps the mark and gives the unit the same
// records; corrected and handed back as the user's readings, its readings are the user's.
TEST(MapConverterTest, ATableCarriesTheGuessesMarkedAndComesBackAsTheUsersReadings) {
    if (ReadingGuesser::Backend().empty()) GTEST_SKIP() << "built without a reading guesser";
    TempDir dir;
    WriteFileBytes(dir.File("r.gpx"), Gpx(Waypoint(35.6812, 139.7671, "東京駅") + Waypoint(26.217, 127.719, "首里城") +
                                          Waypoint(35.68, 139.76, "咥咥")));
    WriteFileBytes(dir.File("mine.csv"), "首里城,しゅりじょう\n");
    ASSERT_EQ(RunCli({dir.File("r.gpx"), "--readings", dir.File("mine.csv"), "-o", dir.File("t.csv")}).status, 0);
    const std::string table = ReadFileBytes(dir.File("t.csv"));
    EXPECT_EQ(table,
              "name,reading,latitude,longitude,digits,推測\r\n東京駅,ﾄｳｷｮｳｴｷ,35.6812000,139.7671000,,○\r\n"
              "首里城,ｼｭﾘｼﾞｮｳ,26.2170000,127.7190000,,\r\n咥咥,,35.6800000,139.7600000,,\r\n");
    ASSERT_EQ(RunCli({dir.File("r.gpx"), "--reading", "none", "-o", dir.File("n.csv")}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("n.csv")),
              "name,reading,latitude,longitude,digits\r\n東京駅,,35.6812000,139.7671000,\r\n"
              "首里城,,26.2170000,127.7190000,\r\n咥咥,,35.6800000,139.7600000,\r\n");
    // Through the table again: the same table, the same unit's document, the guess still marked.
    ASSERT_EQ(RunCli({dir.File("t.csv"), "-o", dir.File("again.csv")}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("again.csv")), table);
    ASSERT_EQ(RunCli({dir.File("t.csv"), "--reading", "none", "-o", dir.File("kept.csv")}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("kept.csv")),
              "name,reading,latitude,longitude,digits\r\n東京駅,ﾄｳｷｮｳｴｷ,35.6812000,139.7671000,\r\n"
              "首里城,ｼｭﾘｼﾞｮｳ,26.2170000,127.7190000,\r\n咥咥,,35.6800000,139.7600000,\r\n");
    ASSERT_EQ(RunCli({dir.File("r.gpx"), "--readings", dir.File("mine.csv"), "-o", dir.File("direct.xml")}).status, 0);
    ASSERT_EQ(RunCli({dir.File("t.csv"), "-o", dir.File("table.xml")}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("table.xml")), ReadFileBytes(dir.File("direct.xml")));
    const CliOutcome marked = RunCli({"--list", dir.File("t.csv")});
    EXPECT_NE(marked.out.find("\t東京駅\t○\n"), std::string::npos) << marked.out;
    // Corrected in a spreadsheet and handed back: the reading is the user's, not a guess.
    std::string corrected = table;
    corrected.replace(corrected.find("ﾄｳｷｮｳｴｷ"), std::string("ﾄｳｷｮｳｴｷ").size(), "ﾄｳｷｮｳｽﾃｰｼｮﾝ");
    WriteFileBytes(dir.File("corrected.csv"), corrected);
    const CliOutcome back = RunCli({dir.File("r.gpx"), "--readings", dir.File("corrected.csv"), "-o", dir.File("back.csv")});
    EXPECT_EQ(back.err, "警告: " + dir.File("r.gpx") + ": 1 地点の名称の読みを推定できませんでした\n合計: 警告 1 件、変換できなかった地点 0 件\n");
    EXPECT_EQ(ReadFileBytes(dir.File("back.csv")),
              "name,reading,latitude,longitude,digits,推測\r\n東京駅,ﾄｳｷｮｳｽﾃｰｼｮﾝ,35.6812000,139.7671000,,\r\n"
              "首里城,ｼｭﾘｼﾞｮｳ,26.2170000,127.7190000,,\r\n咥咥,,35.6800000,139.7600000,,\r\n");
}

// A municipality's name takes its own reading, of the one where the point is; the user's come first.
TEST(MapConverterTest, AMunicipalitysNameIsReadAsThePlaceThereReadsIt) {
    if (ReadingGuesser::Backend().empty() || Gazetteer::Shipped(DataFolder())->Size() == 0) GTEST_SKIP() << "built without the guesser or the gazetteer";
    TempDir dir;
    WriteFileBytes(dir.File("r.gpx"), Gpx(Waypoint(41.43, 140.11, "松前町") + Waypoint(33.80, 132.70, "松前町") +
                                          Waypoint(41.05, 140.42, "中泊町役場") + Waypoint(33.80, 132.70, "松前町公民館")));
    WriteFileBytes(dir.File("mine.csv"), "松前町公民館,まさきちょうこうみんかん\n");
    ASSERT_EQ(RunCli({dir.File("r.gpx"), "--readings", dir.File("mine.csv"), "-o", dir.File("r.csv")}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("r.csv")),
              "name,reading,latitude,longitude,digits,推測\r\n松前町,ﾏﾂﾏｴﾁｮｳ,41.4300000,140.1100000,,○\r\n"
              "松前町,ﾏｻｷﾁｮｳ,33.8000000,132.7000000,,○\r\n中泊町役場,ﾅｶﾄﾞﾏﾘﾏﾁﾔｸﾊﾞ,41.0500000,140.4200000,,○\r\n"
              "松前町公民館,ﾏｻｷﾁｮｳｺｳﾐﾝｶﾝ,33.8000000,132.7000000,,\r\n");
}

// A town's name reads as the town of the point's municipality reads it, an address starting the
// name before the point, and a closing 町 of no place as the point's prefecture reads it.
TEST(MapConverterTest, ATownsNameIsReadAsTheTownThereAndAClosing町AsItsRegion) {
    if (ReadingGuesser::Backend().empty() || Gazetteer::Shipped(DataFolder())->Size() == 0) GTEST_SKIP() << "built without the guesser or the gazetteer";
    TempDir dir;
    WriteFileBytes(dir.File("r.gpx"), Gpx(Waypoint(40.82, 140.74, "新田") + Waypoint(35.0686, 134.0045, "新田") +
                                          Waypoint(35.6867, 139.7660, "大手町駅") + Waypoint(41.43, 140.11, "愛媛県伊予郡松前町役場") +
                                          Waypoint(35.6812, 139.7671, "夢見町") + Waypoint(35.0116, 135.7681, "夢見町")));
    ASSERT_EQ(RunCli({dir.File("r.gpx"), "-o", dir.File("r.csv")}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("r.csv")),
              "name,reading,latitude,longitude,digits,推測\r\n新田,ﾆｯﾀ,40.8200000,140.7400000,,○\r\n"
              "新田,ﾆｲﾀﾞ,35.0686000,134.0045000,,○\r\n大手町駅,ｵｵﾃﾏﾁｴｷ,35.6867000,139.7660000,,○\r\n"
              "愛媛県伊予郡松前町役場,ｴﾋﾒｹﾝｲﾖｸﾞﾝﾏｻｷﾁｮｳﾔ,41.4300000,140.1100000,,○\r\n"
              "夢見町,ﾕﾒﾐﾏﾁ,35.6812000,139.7671000,,○\r\n夢見町,ﾕﾒﾐﾁｮｳ,35.0116000,135.7681000,,○\r\n");
}

TEST(MapConverterTest, APointNoMapCanHoldIsRefusedWithItsOwnCoordinatesAndTheRestConverted) {
    TempDir dir;
    MemImage image;  // no position, beyond the pole, a real place
    image.Use(0).Name(0, Utf8ToCp932("無")).Latitude(0, 0, 0).Longitude(0, 0, 0);
    image.Use(1).Name(1, Utf8ToCp932("遠")).Latitude(1, MemImage::Seconds(95, 0, 0), 0).Longitude(1, MemImage::Seconds(139, 0, 0), 0);
    image.Use(2).Name(2, Utf8ToCp932("駅")).Latitude(2, MemImage::Seconds(35, 40, 48), 0).Longitude(2, MemImage::Seconds(139, 45, 36), 0);
    WriteFileBytes(dir.File("p.mem"), image.Bytes());
    WriteFileBytes(dir.File("saved.geojson"), R"({"type":"FeatureCollection","features":[
{"type":"Feature","geometry":{"type":"Point","coordinates":[0,0]},"properties":{"Title":"未設定"}},
{"type":"Feature","geometry":{"type":"Point","coordinates":[139.7671,35.6812]},"properties":{"Title":"駅"}}]})");
    WriteFileBytes(dir.File("all-bad.csv"), "name,lat,lon\nbad,abc,def\n");
    WriteFileBytes(dir.File("kept.xml"), "old");
    const std::string mem = dir.File("p.mem") + ": 地点 ";
    struct Case {
        std::vector<std::string> args;
        std::string err;
        std::vector<std::string> files;  // the folder afterwards
    };
    const Case cases[] = {
        {{dir.File("p.mem"), "--to", "gpx"},
         mem + "1「無」: 座標 (緯度 0.00000, 経度 0.00000) は位置がないことを表します\n" + mem +
             "2「遠」: 座標 (緯度 95.00000, 経度 139.00000) は地図上の位置ではありません\n" + dir.File("p.mem") +
             ": 2 地点は変換できませんでした\n合計: 警告 0 件、変換できなかった地点 2 件\n",
         {"all-bad.csv", "kept.xml", "p.gpx", "p.mem", "saved.geojson"}},
        {{dir.File("saved.geojson"), "--reading", "none"},
         dir.File("saved.geojson") + ": 地物 1「未設定」: 座標 (緯度 0, 経度 0) は位置がないことを表します\n" +
             dir.File("saved.geojson") + ": 1 地点は変換できませんでした\n合計: 警告 0 件、変換できなかった地点 1 件\n",
         {"all-bad.csv", "kept.xml", "p.gpx", "p.mem", "saved.geojson", "saved.xml"}},
        // Nothing to write: the existing output stays as it was.
        {{dir.File("all-bad.csv"), "-o", dir.File("kept.xml")},
         "警告: " + dir.File("all-bad.csv") + ": 2 行目: 緯度「abc」は -90〜90 の数値ではありません。この地点は読みません\n" +
             dir.File("all-bad.csv") + ": 1 地点は変換できませんでした\n変換できる地点がないため、" + dir.File("kept.xml") +
             " は書きませんでした\n合計: 警告 1 件、変換できなかった地点 1 件\n",
         {"all-bad.csv", "kept.xml", "p.gpx", "p.mem", "saved.geojson", "saved.xml"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const CliOutcome run = RunCli(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(ListWithoutRecords(dir), c.files);
    }
    EXPECT_EQ(CountOf(ReadFileBytes(dir.File("p.gpx")), "<wpt "), 1u);
    EXPECT_EQ(CountOf(ReadFileBytes(dir.File("saved.xml")), "<gpoi>"), 1u);
    EXPECT_EQ(ReadFileBytes(dir.File("kept.xml")), "old");

    // The list has every point; one that cannot be shifted says why instead of a method.
    const CliOutcome list = RunCli({"--list", dir.File("p.mem")});
    EXPECT_EQ(list.status, 1);
    std::istringstream lines(list.out);
    std::string line;
    std::vector<std::string> rows;
    while (std::getline(lines, line)) rows.push_back(line);
    ASSERT_EQ(rows.size(), 5u) << list.out;
    EXPECT_EQ(rows[2], "1\t無\t\t0.00000\t0.00000\t\t\t\t位置なし\t無\t");
    EXPECT_EQ(rows[3], "2\t\t\t\t\t\t\t\t範囲外\t遠\t");
    EXPECT_EQ(rows[4].substr(0, rows[4].find('\t', 30)).substr(0, 30), "3\t駅\t\t35.68000\t139.76000\t\t35.");
}

TEST(MapConverterTest, ReadingsAndNamesComeBackByteForByteThroughEveryMapFormat) {
    // Readings as drivers' units hold them: half-width kana with digits, kana of both kinds,
    // full-width letters, spaces inside and at either end, characters CSV, XML and JSON quote, and
    // texts a spreadsheet takes for formulas or comments; 16 bytes at most, like the unit's field.
    const char* const readings[] = {"ｾﾌﾞﾝｲﾚﾌﾞﾝ7", "ﾗﾝﾁ", "とうきょうえき", "トウキョウ", "ｱ  ｲ", " ｱ", "ｱ ", "#1", "=ｱ+1",
                                    "-ｱ", "@ｱ", "\"ｱ\"", "ｱ,ｲ;ｳ", "ｱ&ｲ<ｳ>", "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀ", "１２３", "ＡＢＣ",
                                    "㈱ｶﾌｪ･ﾄﾞ", "Ⅳ髙ｱ", "ｴｰ\\ｿ", ""};
    MemImage image;
    std::vector<std::pair<std::string, std::string>> records;
    for (int i = 0; i < 100; ++i) {
        const std::string reading = Utf8ToCp932(readings[i % 21]);
        const std::string name = Utf8ToCp932(i % 7 == 0 ? readings[(i + 3) % 21] : "店 " + std::to_string(i));
        image.Use(i).Name(i, name).Reading(i, reading).Latitude(i, MemImage::Seconds(35, i % 60, 0), 0).Longitude(i, MemImage::Seconds(139, 59 - i % 60, 0), 0);
        records.emplace_back(name, reading);
    }
    TempDir dir;
    WriteFileBytes(dir.File("p.mem"), image.Bytes());
    // Every map format of the table: the formats not of the unit.
    for (const Format* row : FormatRegistry::All()) {
        if (row->unit) continue;
        const char* format = row->name;
        SCOPED_TRACE(format);
        const std::string map = dir.File(std::string("p.") + format);
        ASSERT_EQ(RunCli({dir.File("p.mem"), "--to", format}).status, 0);
        const CliOutcome back = RunCli({map, "-o", dir.File("back.mem"), "--reading", "none"});
        ASSERT_EQ(back.status, 0) << back.err;
        CMemPointStore store;
        ASSERT_EQ(store.Read(dir.File("back.mem").c_str()).status, 0);
        ASSERT_EQ(store.GetCount(), 100);
        int same = 0;
        for (int i = 0; i < 100; ++i) {
            CString name, reading;
            store.GetName(name, i);
            store.GetReading(reading, i);
            same += name.Str() == records[static_cast<size_t>(i)].first && reading.Str() == records[static_cast<size_t>(i)].second;
        }
        EXPECT_EQ(same, 100);
    }
    // CP932 has two codes for some characters; the second comes back as the first, which shows the
    // same character: NEC's ≒ (0x8790) as 0x81E0, NEC's selection of IBM's 纊 (0xED40) as IBM's
    // 0xFA5C, IBM's ¬ (0xFA54) as 0x81CA.
    MemImage twice;
    twice.Use(0).Name(0, "\x87\x90\xED\x40\xFA\x54").Latitude(0, MemImage::Seconds(35, 0, 0), 0).Longitude(0, MemImage::Seconds(139, 0, 0), 0);
    WriteFileBytes(dir.File("twice.mem"), twice.Bytes());
    ASSERT_EQ(RunCli({dir.File("twice.mem"), "--to", "gpx"}).status, 0);
    ASSERT_EQ(RunCli({dir.File("twice.gpx"), "-o", dir.File("again.mem"), "--reading", "none"}).status, 0);
    CMemPointStore store;
    ASSERT_EQ(store.Read(dir.File("again.mem").c_str()).status, 0);
    CString name;
    store.GetName(name, 0);
    EXPECT_EQ(name.Str(), "\x81\xE0\xFA\x5C\x81\xCA");
}
