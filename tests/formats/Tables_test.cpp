// Tables as devices and people write them: no header, a cell of both coordinates, hemisphere
// letters, bars, full-width digits, Windows-1252. Each is read as the CSV of the same places.
#include <gtest/gtest.h>

#include "formats/FormatIo.h"
#include "text/MapError.h"

namespace {
// The places without where they came from: a table without a header has its rows a line earlier.
std::string Places(const MapReadResult& result) {
    std::string text;
    for (const Place& p : result.places) {
        char coordinates[64];
        std::snprintf(coordinates, sizeof coordinates, "%.7f|%.7f", p.latitude, p.longitude);
        text += p.Name() + "|" + coordinates + "\n";
    }
    return text;
}

TEST(Tables, WithoutAHeaderOrWithBothCoordinatesInACellReadAsTheCsvOfTheSamePlaces) {
    const struct {
        const char* what;
        std::string table, csv;  // csv: name,lat,lon of the same places
    } cases[] = {
        {"headerless, latitude first", "35.6812,139.7671,東京駅\n34.7025,135.4959,大阪駅\n",
         "東京駅,35.6812,139.7671\n大阪駅,34.7025,135.4959\n"},
        {"headerless, longitude first (Japan's ranges)", "139.7671\t35.6812\t東京駅\n", "東京駅,35.6812,139.7671\n"},
        {"headerless, both could be either: the first is the latitude", "45.46;9.19;Milano\n", "Milano,45.46,9.19\n"},
        {"a number column before them", "1,35.68,139.76,Tokyo\n2,34.70,135.49,Osaka\n",
         "Tokyo,35.68,139.76\nOsaka,34.70,135.49\n"},
        {"bars and hemisphere letters", "A|0.134°S|78.5°W\nB|S0 08.040|W78 30.0\nC|49.07N|8.4E\n",
         "A,-0.134,-78.5\nB,-0.134,-78.5\nC,49.07,8.4\n"},
        {"one cell as a map copies it", "\"35.6812362, 139.7671248\",東京駅\n", "東京駅,35.6812362,139.7671248\n"},
        {"one cell of DMS", "東京駅\t35°40'52.3\"N 139°46'01.2\"E\n", "東京駅,35.681194444444,139.767\n"},
        {"one cell, letters first", "N35.68 E139.76|x\n", "x,35.68,139.76\n"},
        {"one cell, longitude first by its letters", "139.76E 35.68N,x\n", "x,35.68,139.76\n"},
        {"a header naming the cell of both", "name,coordinates\n東京駅,\"35.68, 139.76\"\n", "東京駅,35.68,139.76\n"},
        {"full-width digits in one cell", "３５．６８１２，１３９．７６７１\t全角\n", "全角,35.6812,139.7671\n"},
        {"full-width digits and marks", "北緯３５°４０′\t東経１３９°４６′\t全\n", "全,35.666666666667,139.766666666667\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MapReadResult read;
        try {
            read = ReadAs("csv", c.table, "f");
        } catch (const MapError& error) {
            ADD_FAILURE() << error.what();
            continue;
        }
        EXPECT_EQ(Joined(read.warnings), "");
        EXPECT_EQ(Places(read), Places(ReadAs("csv", "name,lat,lon\n" + c.csv, "f")));
    }
}

TEST(Tables, ALatinOneTableIsReadAsWindows1252WithOneWarning) {
    const MapReadResult read = ReadAs("csv", "name,lat,lon\nCaf\xE9 M\xFCller,48.1,11.5\n\x93Zitat\x94 \x80,48.2,11.6\n", "f");
    EXPECT_EQ(Places(read), Places(ReadAs("csv", "name,lat,lon\nCafé Müller,48.1,11.5\n“Zitat” €,48.2,11.6\n", "f")));
    EXPECT_EQ(Joined(read.warnings),
              "f: UTF-8 でも UTF-16 でもシフトJIS (CP932) でもないので、Windows-1252 (西欧の文字) として読みました\n");
}

TEST(Tables, RowsThatDoNotTellTheirColumnsAreRefused) {
    for (const std::string table : {"a,b,c\nd,e,f\n", "35.6,東京\n"}) {
        SCOPED_TRACE(table);
        try {
            ReadAs("csv", table, "f");
            ADD_FAILURE() << "read";
        } catch (const MapError& error) {
            EXPECT_STREQ(error.what(),
                         "f: 1 行目: 緯度と経度の列がありません（見出しに lat・latitude・緯度 と lon・lng・longitude・経度 のどれかが要ります）");
        }
    }
}
}  // namespace

// A cell of a million blanks and commas is tried as a pair once, not at every split (seconds).
TEST(Tables, ALongCellIsNoPairAndCostsNoTime) {
    std::string cell(1000000, ' ');
    for (std::size_t i = 0; i < cell.size(); i += 2) cell[i] = ',';
    const MapReadResult read = ReadAs("csv", "name,coordinates\nx,\"" + cell + "\"\n", "f");
    EXPECT_EQ(read.places.size(), 0u);
    EXPECT_EQ(read.refused, 1);
}
