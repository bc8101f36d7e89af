// Inputs made to break quorvel-cli: each is converted or refused with one line naming the file,
// the archive's own texts shown as code points, and the output of before left as it was.
#include <gtest/gtest.h>

#include <string>

#include "formats/ZipImage.h"
#include "support/CliRun.h"
#include "support/TempDir.h"

namespace {
std::string Repeat(const std::string& text, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += text;
    return out;
}

TEST(HostileInputsCli, AreConvertedOrRefusedByNameAndTheOutputOfBeforeStays) {
    const std::string point = "<wpt lat=\"35.6\" lon=\"139.7\"><name>p</name></wpt>";
    const std::string kml = "<kml><Placemark><name>p</name><Point><coordinates>139.7,35.6</coordinates></Point></Placemark></kml>";
    const struct {
        const char* input;
        std::string bytes;
        int status;
        std::string err;  // after the input's path
    } cases[] = {
        {"deep.gpx", "<gpx>\n<metadata>" + Repeat("<a>", 200000) + Repeat("</a>", 200000) + "</metadata>\n" + point + "</gpx>", 0,
         ""},
        {"order.kmz", ZipImage({{"first.kml", kml}, {"second.kml", "<kml"}}), 0, ""},
        {"title.kmz", ZipImage({{"\x1b]0;owned\x07\x1b[2J\xe2\x80\xae"
                                 "lmk.kml",
                                 kml, 14}}),
         1,
         ": KMZ の中の U+001B]0;ownedU+0007U+001B[2JU+202Elmk.kml は LZMA で圧縮されているので読めません（deflate で圧縮し直してください）\n"},
        {"brackets.geojson", std::string(300000, '['), 1, ": 1 行目: 配列とオブジェクトの入れ子が 200000 段より深いので読めません\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        TempDir dir;
        WriteFileBytes(dir.File(c.input), c.bytes);
        WriteFileBytes(dir.File("out.gpx"), "before");
        const CliOutcome run = RunCli({dir.File(c.input), "-o", dir.File("out.gpx")});
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err.empty() ? "" : dir.File(c.input) + c.err);
        const std::string written = ReadFileBytes(dir.File("out.gpx"));
        if (c.status == 0)
            EXPECT_NE(written.find("<name>p</name>"), std::string::npos);
        else
            EXPECT_EQ(written, "before");
    }
}

// A link's label whose %XX are no UTF-8 is made U+FFFD, said once by its line, so that every
// output is valid in its encoding and reads back (the unit's show "?" for it).
TEST(HostileInputsCli, ALabelOfBytesThatAreNoTextReadsBackFromEveryOutput) {
    TempDir dir;
    const std::string links = dir.File("links.txt");
    WriteFileBytes(links, "geo:0,0?q=34.6873,135.5262(%FF%FE%E9%A7%85)\n");
    const std::string replaced = "\xEF\xBF\xBD\xEF\xBF\xBD駅";
    const std::string warning = "警告: " + links + ": 1 行目「" + replaced + "」: UTF-8 として読めない文字を U+FFFD にしました\n";
    const struct {
        const char* format;
        std::string name;  // as read back
    } cases[] = {{"gpx", replaced}, {"kml", replaced}, {"kmz", replaced}, {"geojson", replaced}, {"csv", replaced}, {"glorie", "??駅"}, {"mem", "??駅"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string out = dir.File(std::string("out.") + (std::string(c.format) == "glorie" ? "xml" : c.format));
        const CliOutcome written = RunCli({links, "--to", c.format, "-o", out, "--reading", "none"});
        EXPECT_EQ(written.status, 0) << written.err;
        EXPECT_EQ(written.err.rfind(warning, 0), 0u) << written.err;
        const CliOutcome back = RunCli({out, "--to", "csv", "-o", dir.File("back.csv"), "--reading", "none"});
        EXPECT_EQ(back.status, 0) << back.err;
        EXPECT_EQ(ReadFileBytes(dir.File("back.csv")).rfind("name,reading,latitude,longitude,digits\r\n" + c.name + ",", 0), 0u);
    }
}
}  // namespace
