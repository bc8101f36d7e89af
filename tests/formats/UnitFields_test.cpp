// The unit's fields: the degree text of a point that is no whole 1/256 s, as the store's buffer
// takes it; CP932 cut to the field and the first characters of a UTF-8 text.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "formats/UnitFields.h"
#include "support/TextReference.h"

TEST(UnitFields, DegreeTextOfAnyAngle) {
    const struct {
        double degrees;
        const char* text;
    } cases[] = {
        {35.6812362, " 35.40.52.450"}, {0.0001, "  0.00.00.360"}, {9.99999, "  9.59.59.964"}, {999.9999999, "1000.00.00.000"}, {5000.0001, "5000.00.00.360"}, {123456.0001, "123456.00.00.36"},  // cut at 15
    };
    for (const auto& c : cases) EXPECT_EQ(DegreesToDms(c.degrees).Str(), c.text) << c.degrees;
}

// The unit's 16 bytes of CP932 and the first characters of UTF-8, copied and cut in place alike.
TEST(UnitFields, CutsAndPrefixes) {
    const struct {
        std::string text;
        std::size_t characters;
        std::string first;  // FirstCharacters(text, characters)
        std::string field;  // CutUnitField(text)
    } cases[] = {
        {"", 17, "", ""},
        {"0123456789ABCDEFGH", 17, "0123456789ABCDEFG", "0123456789ABCDEF"},
        {"\xE6\x9D\xB1\xE4\xBA\xAC\xE9\xA7\x85", 2, "\xE6\x9D\xB1\xE4\xBA\xAC", "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\xA7\x85"},
        {std::string(15, 'a') + "\x93\x8C", 16, std::string(15, 'a') + "\x93", std::string(15, 'a')},
        {"\x80\xE3\x81"
         "a",
         2, "\x80\xE3",
         "\x80\xE3\x81"
         "a"},
        {std::string("a\0b", 3), 1, "a", "a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(FirstCharacters(c.text, c.characters), c.first);
        EXPECT_EQ(FirstCharacters(std::string(c.text), c.characters), c.first);
        EXPECT_EQ(CutUnitField(c.text), c.field);
        EXPECT_EQ(CutUnitField(std::string(c.text)), c.field);
    }
}

// Against the plain references of support/TextReference.h, random texts of 0 to 40 pieces.
TEST(UnitFields, CutsAndPrefixesAsThePlainReferences) {
    std::mt19937 random(17);
    for (int round = 0; round < 5000; ++round) {
        const std::string text = textref::RandomText(random, static_cast<std::size_t>(round % 41));
        const std::size_t nul = std::min(text.find('\0'), text.size());
        const std::string field = text.substr(0, textref::Cp932Cut(text, std::min<std::size_t>(nul, 17), 16));
        ASSERT_EQ(CutUnitField(text), field) << testing::PrintToString(text);
        ASSERT_EQ(CutUnitField(std::string(text)), field) << testing::PrintToString(text);
        for (std::size_t count = 0; count <= 41; count += 1 + count / 8) {
            const std::string first = text.substr(0, textref::PrefixLength(text, count));
            ASSERT_EQ(FirstCharacters(text, count), first) << testing::PrintToString(text) << " " << count;
            ASSERT_EQ(FirstCharacters(std::string(text), count), first) << testing::PrintToString(text) << " " << count;
        }
    }
}

// The characters reported for a place's record are those of the record made, for random names
// and readings (long, kana, invalid, without a CP932 code) and a memory point's kept record.
TEST(UnitFields, TheUnmappedCharactersAreTheRecordsOwn) {
    std::mt19937 random(932);
    for (int round = 0; round < 3000; ++round) {
        Place place;
        place.SetName(textref::RandomText(random, static_cast<std::size_t>(round % 37)));
        place.SetReading(textref::RandomText(random, static_cast<std::size_t>(round * 7 % 71)));
        if (round % 100 == 99) place.SetRecord({"\x82\xA0", "\xB1"});
        std::vector<std::string> made, looked;
        UnitRecord(place, &made);
        UnitRecordUnmapped(place, looked);
        ASSERT_EQ(looked, made) << testing::PrintToString(place.Name()) << " " << testing::PrintToString(place.Reading());
    }
}
