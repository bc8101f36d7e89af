#include "readings/Gazetteer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "support/TempDir.h"

namespace {
std::shared_ptr<const Gazetteer> Shipped() {
    const std::shared_ptr<const Gazetteer> shipped = Gazetteer::Shipped(DataFolder());
    return shipped->Size() == 0 ? nullptr : shipped;
}

#define NEED_GAZETTEER(g) \
    if (!(g)) GTEST_SKIP() << "built without the gazetteer (node and npm)"

std::string ReadOf(const Gazetteer& g, const std::string& name, std::size_t at, double latitude, double longitude, std::size_t& matched) {
    std::string reading;
    matched = g.MatchAt(name, at, g.Locate(name, latitude, longitude), latitude, longitude, reading);
    return reading;
}

TEST(Gazetteer, ANameHoldingAPlacesTakesTheReadingOfThePlaceThere) {
    const auto g = Shipped();
    NEED_GAZETTEER(g);
    const struct {
        const char* name;
        std::size_t at;
        double latitude, longitude;
        std::size_t matched;
        const char* reading;
    } cases[] = {
        {"松前町", 0, 41.43, 140.11, 9, "ﾏﾂﾏｴﾁｮｳ"},
        {"松前町", 0, 33.80, 132.70, 9, "ﾏｻｷﾁｮｳ"},
        {"松前町役場", 0, 33.80, 132.70, 9, "ﾏｻｷﾁｮｳ"},
        {"愛媛県伊予郡松前町役場", 18, 41.43, 140.11, 9, "ﾏｻｷﾁｮｳ"},  // the address before the point
        {"北海道松前郡松前町役場", 18, 33.80, 132.70, 9, "ﾏﾂﾏｴﾁｮｳ"},
        {"東京都府中市役所", 9, 35.6, 139.4, 9, "ﾌﾁｭｳｼ"},
        {"東京都府中市役所", 0, 35.6, 139.4, 9, "ﾄｳｷｮｳﾄ"},
        {"東京都府中市役所", 6, 35.6, 139.4, 0, ""},
        {"京都府庁", 0, 35.02, 135.76, 9, "ｷｮｳﾄﾌ"},  // 京都 ends in 都, and is no prefecture
        {"京都府福知山市役所", 0, 35.02, 135.76, 9, "ｷｮｳﾄﾌ"},
        {"森町駅", 0, 42.1, 140.6, 6, "ﾓﾘﾏﾁ"},
        {"青森町", 3, 42.0, 140.0, 0, ""},  // two characters inside a word are not the town
        {"中泊町役場", 0, 41.05, 140.42, 9, "ﾅｶﾄﾞﾏﾘﾏﾁ"},
        {"新田", 0, 40.82, 140.74, 6, "ﾆｯﾀ"},    // a town of Aomori city
        {"新田", 0, 39.39, 140.05, 6, "ｼﾝﾃﾞﾝ"},  // of Yurihonjo
        {"大手町駅", 0, 35.6867, 139.7660, 9, "ｵｵﾃﾏﾁ"},
        {"大手町駅", 0, 34.39, 132.46, 9, "ｵｵﾃﾏﾁ"},  // Hiroshima's
        {"松前", 0, 41.4, 140.1, 0, ""},
    };
    for (const auto& c : cases) {
        std::size_t matched = 0;
        const std::string reading = ReadOf(*g, c.name, c.at, c.latitude, c.longitude, matched);
        EXPECT_EQ(matched, c.matched) << c.name << " " << c.at;
        EXPECT_EQ(reading, c.reading) << c.name << " " << c.at;
    }
}

TEST(Gazetteer, APointIsInTheAreaHoldingItOrTheNearestJustOffTheCoast) {
    const auto g = Shipped();
    NEED_GAZETTEER(g);
    const struct {
        double latitude, longitude;
        const char* municipality;  // empty: none
        const char* closing[2];    // 町, 村 there
    } cases[] = {
        {35.6812, 139.7671, "千代田区", {"ﾏﾁ", "ﾑﾗ"}},
        {41.4300, 140.1100, "松前町", {"ﾁｮｳ", "ﾑﾗ"}},
        {33.8000, 132.7000, "松前町", {"ﾁｮｳ", "ﾑﾗ"}},
        {26.2124, 127.6792, "那覇市", {"ﾁｮｳ", "ｿﾝ"}},
        {35.6250, 139.7900, "江東区", {"ﾏﾁ", "ﾑﾗ"}},  // in the bay, within a few hundred metres of the shore
        {30.0000, 145.0000, "", {"", ""}},            // the open sea
        {48.0000, 135.0000, "", {"", ""}},            // beyond the grid
    };
    for (const auto& c : cases) {
        const Gazetteer::Spot spot = g->At(c.latitude, c.longitude);
        EXPECT_EQ(spot.municipality == Gazetteer::kNone ? "" : g->Municipality(spot.municipality).name, c.municipality)
            << c.latitude << " " << c.longitude;
        EXPECT_EQ(g->ClosingReading(spot, false), c.closing[0]) << c.latitude << " " << c.longitude;
        EXPECT_EQ(g->ClosingReading(spot, true), c.closing[1]) << c.latitude << " " << c.longitude;
    }
}

// Where each point of a lattice over the country and its seas lies, as a digest of the areas
// found in order, with counts: the search may take short cuts, never another answer. Points at sea
// within 5 km of a coast take the nearest area; the step (0.02 degrees, about 2 km) puts many
// there, and some just beyond.
TEST(Gazetteer, EveryPointOfALatticeLiesWhereItAlwaysHas) {
    const auto g = Shipped();
    NEED_GAZETTEER(g);
    const struct {
        double south, west, north, east;
        std::size_t found, none;
        std::uint64_t digest;
    } cases[] = {
        {35.00, 139.30, 35.80, 140.30, 1763, 328, 0xdda3bc863d3b9eb9u},   // Tokyo Bay, Sagami Bay, the Boso peninsula
        {33.60, 129.60, 34.80, 130.80, 768, 2892, 0x296b0977ff825d4cu},   // the Kanmon strait, Iki, Tsushima's south
        {41.20, 139.80, 41.90, 141.40, 1575, 1260, 0x20d01d7cd2442fc3u},  // the Tsugaru strait
        {26.00, 127.50, 26.90, 128.40, 802, 1314, 0x91bce35dc768a0a3u},   // Okinawa
    };
    for (const auto& c : cases) {
        std::uint64_t digest = 1469598103934665603u;
        std::size_t found = 0, none = 0;
        for (int i = 0; c.south + i * 0.02 <= c.north; ++i)
            for (int j = 0; c.west + j * 0.02 <= c.east; ++j) {
                const Gazetteer::Spot spot = g->At(c.south + i * 0.02, c.west + j * 0.02);
                for (const std::uint32_t word : {spot.municipality, spot.prefecture}) digest = (digest ^ word) * 1099511628211u;
                none += spot.municipality == Gazetteer::kNone;
                found += spot.municipality != Gazetteer::kNone;
            }
        EXPECT_EQ(found, c.found) << c.south << " " << c.west;
        EXPECT_EQ(none, c.none) << c.south << " " << c.west;
        EXPECT_EQ(digest, c.digest) << c.south << " " << c.west;
    }
}

// A file that is not the tool's whole is no gazetteer at all, never a part of one read wrong.
TEST(Gazetteer, AFileNotTheToolsWholeIsEmpty) {
    if (!FileExists(Gazetteer::DefaultPath(DataFolder()))) GTEST_SKIP() << "built without the gazetteer (node and npm)";
    const std::string bytes = ReadFileBytes(Gazetteer::DefaultPath(DataFolder()));
    TempDir dir;
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"truncated", bytes.substr(0, bytes.size() - 1)},
        {"longer", bytes + "x"},
        {"another magic", "QGAX" + bytes.substr(4)},
        {"another version", bytes.substr(0, 4) + '\x7F' + bytes.substr(5)},
        {"header only", bytes.substr(0, 88)},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        WriteFileBytes(dir.File("g.bin"), c.bytes);
        EXPECT_EQ(Gazetteer::Load(dir.File("g.bin")).Size(), 0u) << c.what;
    }
    WriteFileBytes(dir.File("g.bin"), bytes);
    EXPECT_GT(Gazetteer::Load(dir.File("g.bin")).Size(), 1800u);
}

// Every municipality read at the centre of its own area, and a sample of towns across the
// prefectures at their municipality's: a shared name must be read as the place there reads it.
TEST(Gazetteer, PlacesAtTheirOwnPlacesReadAsJapanPostReadsThem) {
    const auto g = Shipped();
    NEED_GAZETTEER(g);
    std::map<std::string, std::set<std::string>> readings;  // a name's readings across the country
    for (std::uint32_t m = 0; m < g->Size(); ++m) readings[std::string(g->Municipality(m).name)].insert(std::string(g->Municipality(m).reading));
    std::size_t all = 0, right = 0, shared = 0, sharedRight = 0;
    std::string misses;
    for (std::uint32_t m = 0; m < g->Size(); ++m) {
        const Gazetteer::Named place = g->Municipality(m);
        double latitude, longitude;
        g->Centre(m, latitude, longitude);
        std::size_t matched = 0;
        const std::string reading = ReadOf(*g, std::string(place.name), 0, latitude, longitude, matched);
        const bool ok = matched == place.name.size() && reading == place.reading;
        const bool isShared = readings[std::string(place.name)].size() > 1;
        all += 1, right += ok, shared += isShared, sharedRight += isShared && ok;
        if (!ok) misses += std::string(place.name) + " " + reading + " (" + std::string(place.reading) + ")\n";
    }
    std::printf("gazetteer: %zu of %zu municipalities at their own places (%.1f %%); %zu of %zu read differently elsewhere\n", right, all,
                100.0 * static_cast<double>(right) / static_cast<double>(all), sharedRight, shared);
    EXPECT_GE(right * 100, all * 98) << misses;
    EXPECT_EQ(sharedRight, shared) << misses;

    // Towns: about 1,000 spread evenly over each prefecture's.
    std::map<std::uint32_t, std::vector<std::pair<std::uint32_t, std::uint32_t>>> byPrefecture;  // town, municipality
    for (std::uint32_t m = 0; m < g->Size(); ++m) {
        std::uint32_t count = 0;
        const std::uint32_t first = g->FirstTown(m, count);
        for (std::uint32_t t = first; t < first + count; ++t) byPrefecture[g->PrefectureOf(m)].push_back({t, m});
    }
    EXPECT_EQ(byPrefecture.size(), 47u);
    std::size_t towns = 0, townsRight = 0;
    misses.clear();
    for (const auto& [prefecture, list] : byPrefecture) {
        const std::size_t take = 1000 / 47 + (prefecture < 1000 % 47 ? 1 : 0);
        for (std::size_t k = 0; k < take && k < list.size(); ++k) {
            const auto [t, m] = list[k * list.size() / take];
            const Gazetteer::Named town = g->Town(t);
            double latitude, longitude;
            g->Centre(m, latitude, longitude);
            std::size_t matched = 0;
            const std::string reading = ReadOf(*g, std::string(town.name), 0, latitude, longitude, matched);
            const bool ok = matched == town.name.size() && reading == town.reading;
            towns += 1, townsRight += ok;
            if (!ok) misses += std::string(g->Municipality(m).name) + " " + std::string(town.name) + " " + reading + " (" + std::string(town.reading) + ")\n";
        }
    }
    std::printf("gazetteer: %zu of %zu towns at their municipalities' centres (%.1f %%)\n", townsRight, towns, 100.0 * static_cast<double>(townsRight) / static_cast<double>(towns));
    EXPECT_EQ(towns, 1000u);
    EXPECT_GE(townsRight * 100, towns * 95) << misses;
}
}  // namespace
