// Files as people's programs save them, made here: spreadsheets' CP932 and UTF-16 tables, XML
// in Shift_JIS and EUC-JP, KMZ archives, control characters, the keys names come under, degrees
// typed with minutes and seconds, and values meant to break a reader.
#include <gtest/gtest.h>

#include "text/Cp932Text.h"
#include "formats/FormatIo.h"
#include "formats/KmzArchive.h"
#include "text/MapError.h"
#include "text/MapText.h"
#include "formats/ZipImage.h"

namespace {
std::string Utf16(const std::string& utf8, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    const auto unit = [&](unsigned u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, i);
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

// Shift_JIS rows and cells moved back to EUC-JP's, half-width kana after 0x8E.
std::string EucJp(const std::string& utf8) {
    const std::string sjis = Utf8ToCp932(utf8);
    std::string out;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        const auto s1 = static_cast<unsigned char>(sjis[i]);
        if (s1 < 0x80) {
            out += static_cast<char>(s1);
        } else if (s1 >= 0xA1 && s1 <= 0xDF) {
            out += "\x8E";
            out += static_cast<char>(s1);
        } else {
            const auto s2 = static_cast<unsigned char>(sjis[++i]);
            const unsigned base = (s1 - (s1 <= 0x9F ? 0x70u : 0xB0u)) * 2;
            const unsigned j1 = s2 >= 0x9F ? base : base - 1;
            const unsigned j2 = s2 >= 0x9F ? s2 - 0x7Eu : s2 - (s2 >= 0x80 ? 0x20u : 0x1Fu);
            out += static_cast<char>(j1 + 0x80);
            out += static_cast<char>(j2 + 0x80);
        }
    }
    return out;
}

std::string Nested(int depth, const std::string& inner) {
    return std::string(static_cast<std::size_t>(depth), '[') + inner + std::string(static_cast<std::size_t>(depth), ']');
}

// The archive with the uncompressed size its headers declare replaced, as a zip bomb lies.
std::string DeclaringSize(std::string archive, std::uint32_t size) {
    const auto put = [&](std::size_t at) {
        for (int k = 0; k < 4; ++k) archive[at + static_cast<std::size_t>(k)] = static_cast<char>(size >> (8 * k));
    };
    put(22);                               // local header
    put(archive.find("PK\x01\x02") + 24);  // central directory
    return archive;
}

std::string Changed(std::string bytes, const std::string& from, const std::string& to) {
    return bytes.replace(bytes.find(from), from.size(), to);
}

const std::string kKml =
    "<kml><Placemark><name>大阪城</name><Point><coordinates>135.5262,34.6873</coordinates></Point>"
    "</Placemark></kml>";
}  // namespace

TEST(RealFiles, AreReadAsTheirProgramsSavedThem) {
    const struct {
        const char* what;
        const char* format;
        std::string bytes, places, warnings;
    } cases[] = {
        {"Excel's CSV: CP932, CRLF", "csv", Utf8ToCp932("名称,緯度,経度,電話\r\n東京タワー,35.6586,139.7454,03-3433-5111\r\n"),
         "東京タワー||0334335111|35.6586000|139.7454000|2 行目\n", ""},
        {"CP932 with a byte that is no character", "csv", "name,lat,lon\r\n" + Utf8ToCp932("駅") + "\xA0,1,2\r\n\x81,3,4\r\n",
         "駅\xEF\xBF\xBD|||1.0000000|2.0000000|2 行目\n\xEF\xBF\xBD|||3.0000000|4.0000000|3 行目\n",
         "f: 2, 3 行目: シフトJIS (CP932) として読めない文字を U+FFFD にしました\n"},
        {"Excel's Unicode text: UTF-16 LE, tabs", "csv", Utf16("名前\t読み\t緯度\t経度\r\n𠮷野家\tﾖｼﾉﾔ\t35.1\t139.2\r\n", false),
         "𠮷野家|ﾖｼﾉﾔ||35.1000000|139.2000000|2 行目\n", ""},
        {"UTF-16 BE", "csv", Utf16("lat,lon,title\n1,2,a\n", true), "a|||1.0000000|2.0000000|2 行目\n", ""},
        {"semicolons and decimal commas", "csv", "Name;Lat;Lon\n\"a;b\";35,5;139,25\n",
         "a;b|||35.5000000|139.2500000|2 行目\n", ""},
        {"degrees, minutes and seconds", "csv",
         "name\tlat\tlon\n"
         "a\t35°39'29.1\"N\t139°44'43.4\"E\n"
         "b\tN35°39.485'\tE139°44.7234'\n"
         "c\t35.39.29.1\t139.44.43\n"
         "d\t北緯35度39分29.1秒\t西経0度30分\n"
         "e\t35°39'29.1\"S\t139 44 43\n"
         "f\t35°61'\t139°44'43.4\"N\n",
         "a|||35.6580833|139.7453889|2 行目\nb|||35.6580833|139.7453900|3 行目\n"
         "c|||35.6580833|139.7452778|4 行目\nd|||35.6580833|-0.5000000|5 行目\n",
         "f: 6 行目: 経度「139 44 43」は -180〜180 の数値ではありません。この地点は読みません\n"
         "f: 7 行目: 緯度「35°61'」は -90〜90 の数値ではありません。この地点は読みません\n"},
        {"control characters in a CSV", "csv", std::string("name,reading,lat,lon\n\"A\x01\" B\x1b[31m\xC2\x85,\x7f\xEF\xBD\xB1,1,2\n"),
         "A B [31m|ｱ||1.0000000|2.0000000|2 行目\n",
         "f: 2 行目「A B [31m」: 制御文字 U+0001, U+001B, U+0085, U+007F は表示できません。空白にしました\n"},
        {"NUL in a CSV", "csv", std::string("lat,lon,name\n1,2,A\0B\n", 21), "A B|||1.0000000|2.0000000|2 行目\n",
         "f: 2 行目「A B」: 制御文字 U+0000 は表示できません。空白にしました\n"},
        {"name keys: Title in a CSV", "csv", "Title,Name,lat,lon\nt,n,1,2\n", "n|||1.0000000|2.0000000|2 行目\n", ""},
        // XML in the encoding it declares; a foreign <cmt> is a comment, not a reading.
        {"Shift_JIS GPX", "gpx",
         "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<gpx>\n<wpt lat=\"35.6586\" lon=\"139.7454\"><name>" +
             Utf8ToCp932("東京タワー") + "</name><cmt>" + Utf8ToCp932("ﾗﾝﾁ") + "</cmt></wpt></gpx>",
         "東京タワー|||35.6586000|139.7454000|3 行目\n", ""},
        {"Windows-31J GPX with a NEC character, &#0;", "gpx",
         "<?xml version='1.0' encoding='windows-31j'?><gpx><wpt lat=\"1\" lon=\"2\"><name>\x87\x40&#0;&#x1B;</name></wpt></gpx>",
         "①|||1.0000000|2.0000000|1 行目\n", "f: 1 行目「①」: 制御文字 U+0000, U+001B は表示できません。空白にしました\n"},
        {"EUC-JP KML: half-width kana, JIS X 0212", "kml",
         "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<kml><Placemark><name>" + EucJp("大阪城ｵｵｻｶ") +
             "\x8F\xB0\xA1</name>\n<Point><coordinates>135.5,34.6</coordinates></Point></Placemark></kml>",
         "大阪城ｵｵｻｶ\xEF\xBF\xBD|||34.6000000|135.5000000|3 行目\n", "f: 2 行目: EUC-JP として読めない文字を U+FFFD にしました\n"},
        {"UTF-16 GPX: lines of the text", "gpx", Utf16("<gpx>\r\n\r\n<wpt lat=\"1\" lon=\"2\"><name>《駅》</name></wpt></gpx>", false),
         "《駅》|||1.0000000|2.0000000|3 行目\n", ""},
        {"our GPX of before: <cmt> is the reading", "gpx",
         "<gpx creator=\"Quorvel\"><wpt lat=\"1\" lon=\"2\"><name>a</name><cmt>ｴｰ 1</cmt></wpt></gpx>", "a|ｴｰ 1||1.0000000|2.0000000|1 行目\n", ""},
        {"KMZ", "kmz", KmzOfKml(kKml), "大阪城|||34.6873000|135.5262000|1 行目\n", ""},
        // GeoJSON: the keys people use, bare geometries, numbers and depths meant to break it.
        {"name keys in GeoJSON", "geojson",
         R"({"type":"FeatureCollection","features":[
{"type":"Feature","geometry":{"type":"Point","coordinates":[1,2]},"properties":{"NAME":"大","名前":"x","よみ":"ﾀﾞｲ","tel":"03"}},
{"type":"Feature","geometry":{"type":"Point","coordinates":[3,4]},"properties":{"名称":"小"}}]})",
         "大|ﾀﾞｲ|03|2.0000000|1.0000000|地物 1\n小|||4.0000000|3.0000000|地物 2\n", ""},
        {"a bare MultiPoint", "geojson", R"({"type":"MultiPoint","coordinates":[[1,2],[3,4]]})",
         "地点 1|||2.0000000|1.0000000|地物 1\n地点 2|||4.0000000|3.0000000|地物 1\n", ""},
        {"a number that overflows", "geojson",
         R"({"type":"FeatureCollection","features":[
{"type":"Feature","geometry":{"type":"Point","coordinates":[1e400,-2E+999]},"properties":{"name":"a"}},
{"type":"Feature","geometry":{"type":"Point","coordinates":[1.5e2,2]},"properties":{"name":"b\"1e400"}}]})",
         "b\"1e400|||2.0000000|150.0000000|地物 2\n",
         "f: 地物 1: 緯度「-2E+999」は -90〜90 の数値ではありません。この地点は読みません\n"},
        {"a coordinate nested 100,000 deep", "geojson",
         R"({"type":"Feature","geometry":{"type":"Point","coordinates":[1, )" + Nested(100000, "2") + "]}}", "",
         "f: 地物 1: 緯度「" + std::string(64, '[') + "…」は -90〜90 の数値ではありません。この地点は読みません\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            const MapReadResult result = ReadAs(c.format, c.bytes, "f");
            EXPECT_EQ(Summary(result), c.places);
            EXPECT_EQ(Joined(result.warnings), c.warnings);
        } catch (const MapError& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

TEST(RealFiles, WhatCannotBeReadIsRefusedWithTheFileAndTheLine) {
    std::string big(kMaxInputBytes + 1, ' ');
    big.replace(0, kKml.size(), kKml);
    const std::string bomb = KmzOfKml(big);
    const struct {
        const char* format;
        std::string bytes, message;
    } cases[] = {
        {"csv", Utf16("lat,lon\n", false) + std::string("\x00\xD8"
                                                        "1\0",
                                                        4),
         "f: 2 行目: UTF-16 として読めない文字があります（UTF-8 で保存し直してください）"},
        {"gpx", std::string("\xFF\xFE\0\0<\0\0\0\n\0\0\0\0\0\x11\0", 16),
         "f: 2 行目: UTF-32 として読めない文字があります（UTF-8 で保存し直してください）"},
        {"kml", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?><kml>\xC1</kml>", "f: 1 行目: 文字コード「koi8-r」は読めません（UTF-8 で保存し直してください）"},
        {"gpx", "<?xml version=\"1.0\"?>\n<gpx>\n<name>\x93\x8c</name></gpx>",
         "f: 3 行目: UTF-8 として読めない文字があります（UTF-8 で保存し直してください）"},
        {"kmz", "PK but no zip", "f: KMZ (zip) として読めません"},
        {"kmz", bomb, "f: KMZ の中の doc.kml は大きすぎます。読み込めるのは 32 MB までです"},
        // minizip inflates no further than the size declared, and the rest fails its check.
        {"kmz", DeclaringSize(bomb, 1000), "f: KMZ の中の doc.kml が壊れています"},
        // Declaring more than it holds, minizip stops at the data's end without its check: the
        // size and the CRC are checked here, a byte changed in a stored entry caught.
        {"kmz", DeclaringSize(KmzOfKml(kKml), static_cast<std::uint32_t>(kKml.size() + 1)), "f: KMZ の中の doc.kml が壊れています"},
        {"kmz", DeclaringSize(Changed(ZipImage({{"doc.kml", kKml}}), "135.5", "136.5"), static_cast<std::uint32_t>(kKml.size() + 1)),
         "f: KMZ の中の doc.kml が壊れています"},
        {"geojson", "{\"type\":\"FeatureCollection\",\n\"features\":[1e400,\n{]}", "f: 3 行目: JSON として読めません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        try {
            ReadAs(c.format, c.bytes, "f");
            ADD_FAILURE() << "no MapError";
        } catch (const MapError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}

TEST(RealFiles, WritersQuoteWhatPeersWouldMisreadAndWriteSevenDecimals) {
    Place a;
    a.SetName("#1 =SUM(A1)");
    a.SetReading("-ｱ");
    a.SetDigits("0312345678");
    a.latitude = 35.65860004;
    a.longitude = 144.01886819999999;
    Place b;
    b.SetName("@home");
    b.SetReading("+");
    b.latitude = -0.00000001;
    b.longitude = 180;
    EXPECT_EQ(WriteAs("csv", {a, b}),
              "name,reading,latitude,longitude,digits\r\n\"#1 =SUM(A1)\",\"-ｱ\",35.6586000,144.0188682,0312345678\r\n"
              "\"@home\",\"+\",-0.0000000,180.0000000,\r\n");
    EXPECT_EQ(WriteAs("geojson", {a, b}),
              "{\"type\": \"FeatureCollection\", \"features\": [\n"
              "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[144.0188682,35.6586]},"
              "\"properties\":{\"name\":\"#1 =SUM(A1)\",\"reading\":\"-ｱ\",\"digits\":\"0312345678\",\"datumShift\":\"none\"}},\n"
              "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[180,0]},"
              "\"properties\":{\"name\":\"@home\",\"reading\":\"+\",\"digits\":\"\",\"datumShift\":\"none\"}}\n]}\n");
    const MapReadResult back = ReadAs("csv", WriteAs("csv", {a, b}), "f");
    ASSERT_EQ(back.places.size(), 2u);
    EXPECT_EQ(back.places[0].Name() + back.places[0].Reading() + back.places[1].Name() + back.places[1].Reading(), a.Name() + a.Reading() + b.Name() + b.Reading());
    // A KMZ holds the KML document as doc.kml, the same bytes for the same places.
    EXPECT_EQ(KmlOfKmz(WriteAs("kmz", {a}), "f", kMaxInputBytes), WriteAs("kml", {a}));
    EXPECT_EQ(WriteAs("kmz", {a}), WriteAs("kmz", {a}));
}
