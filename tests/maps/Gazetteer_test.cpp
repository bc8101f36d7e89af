#include "maps/Gazetteer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {
TEST(Gazetteer, ANameHoldingAMunicipalitysTakesTheNearestOnesReading) {
    const Gazetteer gazetteer = Gazetteer::Parse(
        "松前町\tﾏｻｷﾁｮｳ\t33.7918\t132.7257\n松前町\tﾏﾂﾏｴﾁｮｳ\t41.5151\t140.0654\n森町\tﾓﾘﾏﾁ\t42.1\t140.6\n"
        "府中市\tﾌﾁｭｳｼ\t35.6705\t139.4832\nbroken line\n中泊町\tﾅｶﾄﾞﾏﾘﾏﾁ\tx\t140.4\n");
    EXPECT_EQ(gazetteer.Size(), 4u);
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
        {"東京都府中市役所", 9, 35.6, 139.4, 9, "ﾌﾁｭｳｼ"},
        {"東京都府中市役所", 6, 35.6, 139.4, 0, ""},
        {"森町駅", 0, 42.0, 140.0, 6, "ﾓﾘﾏﾁ"},
        {"青森町", 3, 42.0, 140.0, 0, ""},  // two characters inside a word are not the town
        {"中泊町", 0, 41.0, 140.4, 0, ""},  // its line was not the tool's
        {"松前", 0, 41.4, 140.1, 0, ""},
    };
    for (const auto& c : cases) {
        std::string reading;
        EXPECT_EQ(gazetteer.MatchAt(c.name, c.at, c.latitude, c.longitude, reading), c.matched) << c.name << " " << c.at;
        EXPECT_EQ(reading, c.reading) << c.name << " " << c.at;
    }
}

// Every municipality of the shipped list read at the centre of its own area: a shared name must
// be read as the one there, not as its namesake elsewhere.
TEST(Gazetteer, EveryMunicipalityAtItsOwnPlaceReadsItsOwnReading) {
    const std::shared_ptr<const Gazetteer> shipped = Gazetteer::Shipped(DataFolder());
    if (shipped->Size() == 0) GTEST_SKIP() << "built without the gazetteer (node and npm)";
    EXPECT_GT(shipped->Size(), 1800u);
    std::FILE* file = std::fopen(Gazetteer::DefaultPath(DataFolder()).c_str(), "rb");
    ASSERT_TRUE(file);
    std::string text;
    char buffer[65536];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, read);
    std::fclose(file);
    std::istringstream lines(text);
    std::size_t all = 0, right = 0;
    std::string misses;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name, reading, latitude, longitude;
        std::getline(fields, name, '\t');
        std::getline(fields, reading, '\t');
        std::getline(fields, latitude, '\t');
        std::getline(fields, longitude, '\t');
        std::string found;
        ++all;
        if (shipped->MatchAt(name, 0, std::stod(latitude), std::stod(longitude), found) == name.size() && found == reading)
            ++right;
        else
            misses += name + " " + found + " (" + reading + ")\n";
    }
    std::printf("gazetteer: %zu of %zu municipalities at their own places\n", right, all);
    EXPECT_EQ(right, all) << misses;
}
}  // namespace
