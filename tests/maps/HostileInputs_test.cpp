// Inputs made to break a reader: nesting deeper than a stack, archives whose entries lie about
// their order, names or compression, rows of millions of cells. Each is read or refused by name.
#include <gtest/gtest.h>

#include "maps/FormatIo.h"
#include "maps/MapError.h"
#include "maps/ZipImage.h"
#include "platform/Cp932Text.h"

namespace {
std::string Repeat(const std::string& text, std::size_t count) {
    std::string out;
    out.reserve(text.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += text;
    return out;
}

std::string Nested(std::size_t depth, const std::string& open, const std::string& inner, const std::string& close) {
    return Repeat(open, depth) + inner + Repeat(close, depth);
}

std::string Kml(const std::string& name) {
    return "<kml><Placemark><name>" + name + "</name><Point><coordinates>139.5,35.5</coordinates></Point></Placemark></kml>";
}

struct Case {
    const char* what;
    const char* format;
    std::string bytes;
    std::string places;  // Summary(), or the refusal's message when it starts with "f: "
};

void Check(const Case& c) {
    SCOPED_TRACE(c.what);
    try {
        EXPECT_EQ(Summary(ReadAs(c.format, c.bytes, "f")), c.places);
    } catch (const MapError& error) {
        EXPECT_EQ(error.what(), c.places);
    }
}

TEST(HostileInputs, GpxNestedDeeperThanAStackIsRead) {
    const std::string point = "<wpt lat=\"35.5\" lon=\"139.5\"><name>点</name></wpt>";
    const Case cases[] = {
        {"metadata nested 200,000 deep", "gpx",
         "<gpx>\n<metadata>" + Nested(200000, "<a>", "x", "</a>") + "</metadata>\n" + point + "</gpx>",
         "点|||35.5000000|139.5000000|3 行目\n"},
        {"a name nested 200,000 deep", "gpx",
         "<gpx>\n<wpt lat=\"1\" lon=\"2\"><name>外" + Nested(200000, "<b>", "", "</b>") + "</name></wpt></gpx>",
         "外|||1.0000000|2.0000000|2 行目\n"},
        {"a route nested 200,000 deep", "gpx",
         "<gpx><rte>" + Nested(200000, "<rtept>", "", "</rtept>") + "</rte>\n" + point + "</gpx>",
         "点|||35.5000000|139.5000000|2 行目\n"},
    };
    for (const Case& c : cases) Check(c);
}

TEST(HostileInputs, KmzIsReadFromDocKmlElseTheFirstKmlAndNamesItsEntriesSafely) {
    const std::string longName = std::string(1021, 'n') + ".kml";
    const std::string hostile = "\x1b]0;title\x07\x1b[2J.kml";
    const auto refused = [](const std::string& name, std::uint16_t method, std::uint16_t flags) {
        return ZipImage({{name, Kml("x"), method, flags}});
    };
    const Case cases[] = {
        {"two KML entries: the first", "kmz", ZipImage({{"first.kml", Kml("一")}, {"second.kml", Kml("二")}}),
         "一|||35.5000000|139.5000000|1 行目\n"},
        {"a KML and then an icon", "kmz", ZipImage({{"tokyo.kml", Kml("東京")}, {"files/icon.png", "\x89PNG"}}),
         "東京|||35.5000000|139.5000000|1 行目\n"},
        {"doc.kml after another KML", "kmz", ZipImage({{"a.KML", Kml("a")}, {"doc.kml", Kml("doc")}}),
         "doc|||35.5000000|139.5000000|1 行目\n"},
        {"a KML of a 1,025-byte name", "kmz", ZipImage({{"x.png", "png"}, {longName, Kml("長")}}),
         "長|||35.5000000|139.5000000|1 行目\n"},
        {"no KML", "kmz", ZipImage({{"files/icon.png", "png"}, {std::string(2000, 'k'), "x"}}),
         "f: KMZ の中に KML (doc.kml) がありません"},
        {"bzip2", "kmz", refused("doc.kml", 12, 0),
         "f: KMZ の中の doc.kml は bzip2 で圧縮されているので読めません（deflate で圧縮し直してください）"},
        {"LZMA", "kmz", refused("doc.kml", 14, 0),
         "f: KMZ の中の doc.kml は LZMA で圧縮されているので読めません（deflate で圧縮し直してください）"},
        {"zstd", "kmz", refused("doc.kml", 93, 0),
         "f: KMZ の中の doc.kml は読めない方式（93 番）で圧縮されています（deflate で圧縮し直してください）"},
        {"encrypted", "kmz", refused("doc.kml", 8, 1),
         "f: KMZ の中の doc.kml は暗号化されているので読めません（暗号化せずに保存し直してください）"},
        {"a name that steers the terminal", "kmz", refused(hostile, 12, 0),
         "f: KMZ の中の U+001B]0;titleU+0007U+001B[2J.kml は bzip2 で圧縮されているので読めません（deflate で圧縮し直してください）"},
        {"a CP932 name", "kmz", refused(Utf8ToCp932("東京.kml"), 14, 0),
         "f: KMZ の中の 東京.kml は LZMA で圧縮されているので読めません（deflate で圧縮し直してください）"},
        {"a long name, cut", "kmz", refused(longName, 0, 1),
         "f: KMZ の中の " + std::string(64, 'n') + "… は暗号化されているので読めません（暗号化せずに保存し直してください）"},
    };
    for (const Case& c : cases) Check(c);
}
TEST(HostileInputs, GeoJsonNestedPastItsBoundIsRefusedWithTheDepth) {
    const std::string feature = "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[1,2]},";
    const std::string tooDeep = "f: 2 行目: 配列とオブジェクトの入れ子が 200000 段より深いので読めません";
    const Case cases[] = {
        {"30 MB of [ cut short", "geojson", "\n" + std::string(300000, '['), tooDeep},
        {"a name of nested arrays", "geojson",
         feature + "\n\"properties\":{\"name\":" + Nested(200000, "[", "", "]") + "}}", tooDeep},
        {"brackets inside a text do not count", "geojson",
         feature + "\"properties\":{\"name\":\"" + std::string(300000, '[') + "\\\"\"}}",
         std::string(300000, '[') + "\"|||2.0000000|1.0000000|地物 1\n"},
        {"as deep as may be", "geojson",
         feature + "\"properties\":{\"name\":\"a\",\"digits\":" + Nested(199998, "[", "", "]") + "}}",
         "a|||2.0000000|1.0000000|地物 1\n"},
    };
    for (const Case& c : cases) Check(c);
}

TEST(HostileInputs, CsvRowsOfMillionsOfCellsAreReadAsBefore) {
    const std::string cells = std::string(1000000, ';');
    const Case cases[] = {
        {"a header of separators only", "csv", cells + "\n1;2\n",
         "f: 1 行目: 緯度と経度の列がありません（見出しに lat・latitude・緯度 と lon・lng・longitude・経度 のどれかが要ります）"},
        {"columns past a million empty ones", "csv", cells + "lat;lon;名前\n" + cells + "35,5;139,5;遠い\n",
         "遠い|||35.5000000|139.5000000|2 行目\n"},
        {"rows of separators and blanks are passed over", "csv", "lat;lon\n" + cells + "\n \t;\"\";\r\n1;2\n",
         "地点 1|||1.0000000|2.0000000|4 行目\n"},
    };
    for (const Case& c : cases) Check(c);
}
}  // namespace
