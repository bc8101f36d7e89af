// The command line's options as one table: every refusal in its exact words, and --help as it reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "formats/FormatRegistry.h"
#include "support/CliRun.h"
#include "support/GoldenFile.h"

namespace {
TEST(CliOptions, HelpReadsAsItDid) { EXPECT_TRUE(MatchesGolden(RunCli({"--help"}).out, "cli-help.txt")); }

TEST(CliOptions, EachRefusalInItsWords) {
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"a.gpx", "--bom"}, "--bom は CSV を書くときだけ指定できます"},
        {{"a.gpx", "--to", "gpx", "--bom"}, "--bom は CSV を書くときだけ指定できます"},
        {{"a.gpx", "--bom=1", "--to", "csv"}, "オプション --bom は値を取りません"},
        {{"a.gpx", "--all-points", "--all-points"}, "オプション --all-points が二度指定されています"},
        {{"a.gpx", "--bom", "--to", "csv", "--bom"}, "オプション --bom が二度指定されています"},
        {{"a.gpx", "--epoch", "now"}, "--epoch は today か jgd2000 です: now"},
        {{"a.gpx", "--epoch=TODAY"}, "--epoch は today か jgd2000 です: TODAY"},
        {{"a.gpx", "--reading", "off"}, "--reading は auto か none です: off"},
        {{"a.gpx", "--readings="}, "--readings のファイル名が空です"},
        {{"a.gpx", "--datum"}, "オプション --datum には引数が必要です"},
        {{"a.gpx", "--from", "gpx"}, "--from は標準入力 (-) の形式です"},
        {{"-", "--from", "shp"}, "不明な入力形式です: shp。形式は glorie, mem, gpx, kml, kmz, geojson, csv です"},
        {{"-", "-"}, "標準入力 (-) は一度だけ指定できます"},
        {{"a.gpx", "--verbos"}, "不明なオプションです: --verbos (もしかして --verbose?)"},
        {{"a.gpx", "--boom"}, "不明なオプションです: --boom (もしかして --bom?)"},
        {{"a.gpx", "--epoc=today"}, "不明なオプションです: --epoc (もしかして --epoch?)"},
        {{"a.gpx", "--versoin"}, "不明なオプションです: --versoin (もしかして --version?)"},
        {{"a.gpx", "--lines"}, "不明なオプションです: --lines"},
        {{"a.gpx", "--list", "-o", "b.xml"}, "--list は -o や -d と同時に指定できません"},
        {{"a.gpx", "-d", ""}, "-d のフォルダ名が空です"},
        {{"a.gpx", "--to", "links"}, "不明な出力形式です: links。形式は glorie, mem, gpx, kml, kmz, geojson, csv です"},
        {{"a.gpx", "-o", "b.gpx", "--to", "kml"}, "出力ファイル名の拡張子が .kml ではありません: b.gpx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(CliArguments::Parse(c.args).error, c.error);
    }
}

// What each option sets, given in any order and as --option=value.
TEST(CliOptions, ValuesReachTheirSettings) {
    const CliArguments csv = CliArguments::Parse({"--all-points", "a.gpx", "--bom", "--to=csv", "--epoch=jgd2000", "--reading", "none"});
    ASSERT_EQ(csv.error, "");
    EXPECT_TRUE(csv.read.allPoints);
    EXPECT_TRUE(csv.write.bom);
    EXPECT_EQ(csv.epoch, DatumEpoch::jgd2000);
    EXPECT_FALSE(csv.guessReadings);
    EXPECT_EQ(csv.target, FormatRegistry::Find("csv"));
    const CliArguments plain = CliArguments::Parse({"a.gpx", "--verbose", "--strict"});
    ASSERT_EQ(plain.error, "");
    EXPECT_FALSE(plain.read.allPoints);
    EXPECT_FALSE(plain.write.bom);
    EXPECT_TRUE(plain.verbose && plain.strict && plain.guessReadings);
}
}  // namespace
