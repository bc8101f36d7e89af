// The readers' messages in the page's English: the same file and line as the Japanese, every
// word from the table.
#include <gtest/gtest.h>

#include <string>

#include "formats/FormatIo.h"
#include "text/MapError.h"

namespace {
TEST(EnglishMessages, AFileThatCannotBeReadIsSaidInEitherLanguage) {
    const struct {
        const char* format;
        std::string bytes;
        const char* ja;
        const char* en;
    } cases[] = {
        {"csv", "name,lat,lon\n\"open,35,139\n", "f: 2 行目: 引用符が閉じていません", "f: line 2: a quotation mark is not closed"},
        {"geojson", "{\"type\": \"Feature\",\n\"geometry\": [}", "f: 2 行目: JSON として読めません", "f: line 2: this is not readable JSON"},
        {"gpx", "<?xml version=\"1.0\"?>\n<kml/>\n", "f: GPX の文書ではありません（最上位の要素が <kml>）",
         "f: this is not a GPX document (its top element is <kml>)"},
        {"kml", "<kml>\n<Placemark>\n</kml>\n", "f: 3 行目: XML として読めません（開始タグと終了タグが対応していません）",
         "f: line 3: this is not readable XML (a start tag and an end tag do not match)"},
        {"kmz", "PK not a zip", "f: KMZ (zip) として読めません", "f: this cannot be read as KMZ (zip)"},
        {"gpx", "<gpx>\n<trk><trkseg><trkpt lat=\"35\" lon=\"139\"/><trkpt lat=\"36\" lon=\"139\"/></trkseg></trk>\n</gpx>\n",
         "f に地点がありません（経路と軌跡の 2 点は --all-points で読みます）", "f holds no points (2 points of routes and tracks are read with --all-points)"},
        {"csv", "name;lat;lon\nA;35;139\n", nullptr, nullptr},  // read: no message
    };
    for (const auto& c : cases) {
        try {
            ReadAs(c.format, c.bytes, "f");
            EXPECT_EQ(c.ja, nullptr) << c.format << ": read";
        } catch (const MapError& error) {
            ASSERT_NE(c.ja, nullptr) << error.what();
            EXPECT_EQ(error.what(), std::string(c.ja));
            EXPECT_EQ(Words(error.Said(), Language::en), c.en);
        }
    }
}

// A refused point and a warning grouped over points: the point named by its line, the examples
// and the count in English.
TEST(EnglishMessages, RefusalsAndWarningsOverPointsAreSaidInEnglish) {
    const MapReadResult read = ReadAs("csv",
                                      "name,lat,lon,phone\nA,35,139,x\nB,95,139,y\nC,35,139,z\nD,35,139,w\nE,35,139,v\n"
                                      "F,,,\n",
                                      "f.csv");
    EXPECT_EQ(read.refused, 2);
    EXPECT_EQ(Joined(read.warnings, Language::en),
              "f.csv: line 3: the latitude “95” is not a number from -90 to 90. This point is not read\n"
              "f.csv: line 7: it has no latitude and longitude. This point is not read\n"
              "f.csv: 5 points have phone numbers without digits, which are left out (for example line 2 “x”, line 3 “y”, "
              "line 4 “z” and others)\n");
    EXPECT_EQ(Joined(read.warnings),
              "f.csv: 3 行目: 緯度「95」は -90〜90 の数値ではありません。この地点は読みません\n"
              "f.csv: 7 行目: 緯度・経度がありません。この地点は読みません\n"
              "f.csv: 5 地点の電話番号は数字ではないので使いません (例: 2 行目「x」、3 行目「y」、4 行目「z」ほか)\n");
}
}  // namespace
