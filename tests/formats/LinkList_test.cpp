// Lists of map links, geo: URIs and coordinates, one place a line: each read as the CSV of the
// same places, a link without coordinates refused by its line.
#include <gtest/gtest.h>

#include "formats/FormatIo.h"
#include "formats/FormatRegistry.h"

namespace {
MapReadResult ReadLinks(const std::string& bytes) { return FormatRegistry::InputOnly()[0]->read(bytes, "f", {}); }

// The places, with where they came from unless a table's header line would shift it.
std::string Places(const MapReadResult& result, bool origins = true) {
    std::string text;
    for (const Place& p : result.places) {
        char coordinates[64];
        std::snprintf(coordinates, sizeof coordinates, "%.7f|%.7f", p.latitude, p.longitude);
        text += p.Name() + "|" + coordinates + (origins ? "|" + p.Origin().Text() : std::string()) + "\n";
    }
    return text;
}

TEST(LinkList, EachLineIsAPlaceNamedByTheRestOfTheLineOrItsNumber) {
    const struct {
        std::string line, csv;  // csv: name,lat,lon of the line's place
    } cases[] = {
        {"https://www.google.com/maps/@35.68,139.76,17z 東京", "東京,35.68,139.76"},
        {"https://www.google.com/maps?q=35.681236%2C139.767125", "地点 1,35.681236,139.767125"},
        {"https://www.google.com/maps/search/?api=1&query=35.1,136.9 名古屋", "名古屋,35.1,136.9"},
        {"https://www.google.com/maps/place/X/@35.68,139.76,17z/data=!3m1!4b1!4m5!3m4!8m2!3d35.6812362!4d139.7671248 駅",
         "駅,35.6812362,139.7671248"},
        {"https://www.google.com/maps/search/35.1,+136.9", "地点 1,35.1,136.9"},
        {"geo:35.6586,139.7454,40;u=10 東京タワー", "東京タワー,35.6586,139.7454"},
        {"GEO:-33.8568,151.2153", "地点 1,-33.8568,151.2153"},
        {"geo:0,0?q=34.6873,135.5262(大阪城)", "大阪城,34.6873,135.5262"},
        {"https://maps.apple.com/?ll=35.0394,135.7292&q=Kinkakuji 金閣寺", "金閣寺,35.0394,135.7292"},
        {"https://www.openstreetmap.org/?mlat=35.71&mlon=139.81#map=17/35.7/139.8 塔", "塔,35.71,139.81"},
        {"https://www.openstreetmap.org/#map=15/43.06/141.35", "地点 1,43.06,141.35"},
        {"https://maps.gsi.go.jp/#16/35.360556/138.727778/&base=std&ls=std 富士山", "富士山,35.360556,138.727778"},
        {"35.6586, 139.7454 座標だけ", "座標だけ,35.6586,139.7454"},
        {"N35.68 E139.76", "地点 1,35.68,139.76"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        // A link first, so that the list is known by its content as a .txt would be.
        const std::string list = "https://www.openstreetmap.org/#map=15/43.06/141.35\n" + c.line + "\n";
        EXPECT_EQ(FormatRegistry::ForInput("places.txt", list), FormatRegistry::InputOnly()[0]);
        const MapReadResult read = ReadLinks(list);
        EXPECT_EQ(Joined(read.warnings), "");
        std::string csv = "name,lat,lon\n地点 1,43.06,141.35\n" + c.csv + "\n";
        if (c.csv.compare(0, 8, "地点 1") == 0) csv.replace(csv.rfind("地点 1"), 8, "地点 2");
        EXPECT_EQ(Places(read, false), Places(ReadAs("csv", csv, "f"), false));
    }
}

TEST(LinkList, LinksWithoutCoordinatesAreRefusedByLine) {
    const MapReadResult read =
        ReadLinks("geo:35.5,139.5 残る\n\nhttps://maps.app.goo.gl/AbCd 短縮\n# 注記\n近所のお店\n");
    EXPECT_EQ(Places(read), "残る|35.5000000|139.5000000|1 行目\n");
    EXPECT_EQ(Joined(read.warnings),
              "f: 3 行目: リンク「https://maps.app.goo.gl/AbCd」に座標がありません（短縮リンクは地図で開き、座標の入ったリンクを"
              "コピーしてください）。この地点は読みません\n"
              "f: 5 行目: 「近所のお店」はリンクでも座標でもありません。この地点は読みません\n");
    EXPECT_EQ(read.refused, 2);
    // A table whose first column is no link stays a table.
    EXPECT_EQ(FormatRegistry::ForInput("a.txt", "name,url\nx,https://example.com\n"), FormatRegistry::Find("csv"));
    // An extension that names a format decides; a table's, .txt or none leave a list of links a list.
    const std::string list = "geo:35.5,139.5\n";
    for (const char* name : {"a.kml", "a.gpx", "a.geojson", "a.mem"})
        EXPECT_EQ(FormatRegistry::ForInput(name, list), FormatRegistry::ForInputPath(name)) << name;
    for (const char* name : {"a.csv", "a.tsv", "a.txt", "a", "-"})
        EXPECT_EQ(FormatRegistry::ForInput(name, list), FormatRegistry::InputOnly()[0]) << name;
}
}  // namespace
