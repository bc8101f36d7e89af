// Inputs made to break a reader: nesting deeper than a stack, archives whose entries lie about
// their order, names or compression, rows of millions of cells. Each is read or refused by name.
#include <gtest/gtest.h>

#include "formats/FormatIo.h"
#include "text/MapError.h"
#include "formats/ZipImage.h"
#include "text/Cp932Text.h"

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
        // Without a header: the columns are told from the cells that are not blank.
        {"a headerless point and a million separators", "csv", "35,5;139,5;駅" + cells + "\n34;135;;x\n",
         "駅|||35.5000000|139.5000000|1 行目\n地点 2|||34.0000000|135.0000000|2 行目\n"},
        {"a headerless point and more numbers than a spreadsheet has columns", "csv", "35,5;139,5;駅" + Repeat(";1", 20000) + "\n34;135\n",
         "駅|||35.5000000|139.5000000|1 行目\n地点 2|||34.0000000|135.0000000|2 行目\n"},
        {"a headerless table whose later rows are wider", "csv", "名;35.5\n名;35.5;139.5\n名;36;140\n",
         "名|||35.5000000|139.5000000|2 行目\n名|||36.0000000|140.0000000|3 行目\n"},
    };
    for (const Case& c : cases) Check(c);
}
}  // namespace

// Documents of tiny elements, small versions of the large ones: places without names are named
// by their number, a long name goes through whole, nothing else changes.
TEST(HostileInputs, DocumentsOfTinyElementsReadAsBefore) {
    const std::string longName = Repeat("名", 2000) + "\x01" + Repeat("x", 3000);  // 9,001 bytes
    const Case cases[] = {
        {"rows of a point each", "csv", "lat,lon\n35.1,139\n35.2,139\n\n35.3,139\n",
         "地点 1|||35.1000000|139.0000000|2 行目\n地点 2|||35.2000000|139.0000000|3 行目\n"
         "地点 3|||35.3000000|139.0000000|5 行目\n"},
        {"a refused row keeps the next point's number", "csv", "lat,lon\n35.1,139\nx,139\n35.3,139\n",
         "地点 1|||35.1000000|139.0000000|2 行目\n地点 3|||35.3000000|139.0000000|4 行目\n"},
        {"bare waypoints", "gpx", "<gpx>\n<wpt lat=\"35\" lon=\"139\"/>\n<wpt lat=\"35.5\" lon=\"139.5\"/>\n</gpx>",
         "地点 1|||35.0000000|139.0000000|2 行目\n地点 2|||35.5000000|139.5000000|3 行目\n"},
        {"placemarks of a point only", "kml",
         "<kml><Document>\n<Placemark><Point><coordinates>139,35</coordinates></Point></Placemark>\n"
         "<Placemark><MultiGeometry><Point><coordinates>139.1,35.1</coordinates></Point>\n"
         "<Point><coordinates>139.2,35.2</coordinates></Point></MultiGeometry></Placemark>\n</Document></kml>",
         "地点 1|||35.0000000|139.0000000|2 行目\n地点 2|||35.1000000|139.1000000|3 行目\n"
         "地点 3|||35.2000000|139.2000000|4 行目\n"},
        {"named placemark of two points", "kml",
         "<kml><Placemark><name>駅</name><MultiGeometry><Point><coordinates>139,35</coordinates></Point>"
         "<Point><coordinates>139.1,35.1</coordinates></Point></MultiGeometry></Placemark></kml>",
         "駅 1|||35.0000000|139.0000000|1 行目\n駅 2|||35.1000000|139.1000000|1 行目\n"},
        {"glorie points", "glorie",
         "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\n<glorie version=\"1.0\">\n"
         "<gpoi><poi><point><pos><lat>35.60050</lat><lon>139.50010</lon></pos></point><name><nb>p0</nb></name></poi></gpoi>\n"
         "<gpoi><poi><point><pos><lat>35.6</lat><lon>139.5</lon></pos></point><name><nb></nb></name></poi></gpoi>\n</glorie>",
         "p0|||35.6005000|139.5001000|3 行目の地点\n|||35.6000000|139.5000000|4 行目の地点\n"},
        {"a name of 9,001 bytes with a control character", "csv", "name,lat,lon\n" + longName + ",35,139\n",
         Repeat("名", 2000) + " " + Repeat("x", 3000) + "|||35.0000000|139.0000000|2 行目\n"},
    };
    for (const Case& c : cases) Check(c);
}

TEST(HostileInputs, UnnamedPointsAreWrittenWithTheirNumbers) {
    const MapReadResult read = ReadAs("gpx", "<gpx><wpt lat=\"35\" lon=\"139\"/><wpt lat=\"35.5\" lon=\"139.5\"/></gpx>", "f");
    EXPECT_EQ(WriteAs("csv", read.places),
              "name,reading,latitude,longitude,digits\r\n地点 1,,35.0000000,139.0000000,\r\n地点 2,,35.5000000,139.5000000,\r\n");
}

// A place keeps its name, texts, origin and datum method whichever way they are stored.
TEST(PlaceStorage, EachFieldSurvivesTheOthersBeingSet) {
    const std::string longName = Repeat("長", 1500);
    struct Row {
        const char* what;
        void (*steps)(Place&, const std::string&);
        std::string name, reading, digits, origin;
        DatumMethod method;
    };
    const Row rows[] = {
        {"nothing", [](Place&, const std::string&) {}, "", "", "", "", DatumMethod::none},
        {"a number, then a reading",
         [](Place& p, const std::string&) {
             p.SetOrigin(PlaceOrigin::Line(134217727));
             p.SetMethod(DatumMethod::helmert);
             p.SetNumberedName(2147483647u);
             p.SetReading("ﾖﾐ");
         },
         "地点 2147483647", "ﾖﾐ", "", "134217727 行目", DatumMethod::helmert},
        {"a method, then an origin",
         [](Place& p, const std::string&) {
             p.SetMethod(DatumMethod::grid);
             p.SetOrigin(PlaceOrigin::Feature(5));
             p.SetNumberedName(3);
         },
         "地点 3", "", "", "地物 5", DatumMethod::grid},
        {"a name, then none but digits",
         [](Place& p, const std::string&) {
             p.SetName("東京");
             p.SetDigits("0312345678");
             p.SetOrigin(PlaceOrigin::PointOnLine(9));
             p.SetName("");
             p.SetMethod(DatumMethod::grid);
         },
         "", "", "0312345678", "9 行目の地点", DatumMethod::grid},
        {"a long name taken out and put back with a dot",
         [](Place& p, const std::string& name) {
             p.SetName(name);
             p.SetOrigin(PlaceOrigin::Point(4));
             std::string taken = p.TakeName();
             p.SetName(taken + "。");
         },
         longName + "。", "", "", "地点 4", DatumMethod::none},
        {"a copy, the original changed after",
         [](Place& p, const std::string& name) {
             Place original;
             original.SetName(name);
             original.SetReading("ナガイ");
             original.SetRecord({"n", "r"});
             original.SetMethod(DatumMethod::grid);
             p = original;
             original.SetName("x");
             original.SetReading("y");
         },
         longName, "ナガイ", "", "", DatumMethod::grid},
        {"each short text set again, longer and shorter, beside a record",
         [](Place& p, const std::string&) {
             p.SetName("駅");
             p.SetRecord({"n", "r"});
             p.SetDigits("012");
             p.SetReading("ｴｷ");
             p.SetOrigin(PlaceOrigin::Line(7));
             p.SetReading("ｴｷﾏｴ");
             p.SetName("駅前");
             p.SetDigits("");
             p.SetName("");
             p.SetReading("ﾏｴ");
             ASSERT_NE(p.Record(), nullptr);
             EXPECT_EQ(p.Record()->name + p.Record()->reading, "nr");
         },
         "", "ﾏｴ", "", "7 行目", DatumMethod::none},
        {"short texts emptied one by one, then a long name",
         [](Place& p, const std::string& name) {
             p.SetReading("ﾖﾐ");
             p.SetDigits("9");
             p.SetMethod(DatumMethod::helmert);
             p.SetReading("");
             p.SetDigits("");
             p.SetNumberedName(6);
             p.SetDigits("1");
             p.SetName(name);
             p.SetReading("ﾅｶﾞｲ");
         },
         longName, "ﾅｶﾞｲ", "1", "", DatumMethod::helmert},
        {"a short name moved away and back",
         [](Place& p, const std::string&) {
             Place other;
             other.SetName("名");
             other.SetOrigin(PlaceOrigin::Line(2));
             p = std::move(other);
             other = Place(p);
         },
         "名", "", "", "2 行目", DatumMethod::none},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Place place;
        row.steps(place, longName);
        EXPECT_EQ(place.Name(), row.name);
        EXPECT_EQ(place.HasName(), !row.name.empty());
        EXPECT_EQ(place.Reading(), row.reading);
        EXPECT_EQ(place.Digits(), row.digits);
        EXPECT_EQ(place.Origin().Text(), row.origin);
        EXPECT_EQ(place.Method(), row.method);
        EXPECT_EQ(place.NamePrefix(4), row.name.substr(0, 4));
        std::string numbered;
        EXPECT_EQ(place.NameView(numbered), row.name);
        EXPECT_EQ(place.ReadingView(), row.reading);
    }
}
