// The place names' index narrows each search to a block of the file: the answers must be the
// whole file's, and an index that is not this file's must be left alone.
#include "readings/PlaceReadings.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {
// The built file's names, with and without the index: the span of every name's first six bytes
// (two kanji); every tenth name, the name and 駅, and one more character, within the span too.
TEST(PlaceReadings, TheIndexFindsWhatTheWholeFileFinds) {
    const std::string path = QUORVEL_PLACE_READINGS_FOR_TESTS;
    const std::string text = ReadFileBytes(path);
    if (text.empty()) GTEST_SKIP() << path << " was not built (no enamdict)";
    // The index is this file's, so Load takes it.
    const std::string index = ReadFileBytes(path.substr(0, path.size() - 4) + ".idx");
    ASSERT_EQ(index.rfind("quorvel-place-index " + std::to_string(text.size()) + "\n", 0), 0u);
    const PlaceReadings indexed = PlaceReadings::Load(path), whole(text);
    std::map<std::string, std::vector<std::string>> byPrefix;
    for (std::size_t at = 0, end = 0; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        const std::string name = text.substr(at, std::min(text.find('\t', at), end) - at);
        std::vector<std::string>& group = byPrefix[name.substr(0, 6)];
        if (group.empty() || group.back() != name) group.push_back(name);
    }
    std::size_t names = 0;
    for (const auto& [prefix, group] : byPrefix) {
        const PlaceReadings::Span ours = indexed.Starting(prefix), theirs = whole.Starting(prefix);
        ASSERT_EQ(ours.from, theirs.from) << prefix;
        ASSERT_EQ(ours.to, theirs.to) << prefix;
        for (const std::string& name : group) {
            if (++names % 10 != 0) continue;
            for (const std::string& wanted : {name, name + "駅", name + "あ", name + "\x7F"}) {
                ASSERT_EQ(indexed.Find(wanted), whole.Find(wanted)) << wanted;
                ASSERT_EQ(indexed.Find(wanted, ours), whole.Find(wanted, theirs)) << wanted;
            }
        }
    }
    EXPECT_GT(names, 100000u);
}

// A small file with indexes of every kind beside it: each gives the file's own answers.
TEST(PlaceReadings, AnIndexNotOfTheFileIsLeftAlone) {
    const std::string text = "上野\tうえの\n上野毛\tかみのげ\n東京\tとうきょう\n東京\tひがしきょう\n鷺沼\tさぎぬま\n";
    const std::string size = std::to_string(text.size());
    const std::string goodLines = "上野\t0\n東京\t" + std::to_string(text.find("東京")) + "\n鷺沼\t" + std::to_string(text.find("鷺沼")) + "\n";
    const struct {
        const char* what;
        std::string index;  // none when empty
    } cases[] = {
        {"its own", "quorvel-place-index " + size + "\n" + goodLines},
        {"none", ""},
        {"another file's size", "quorvel-place-index 999\n" + goodLines},
        {"an offset inside a line", "quorvel-place-index " + size + "\n上野\t0\n東京\t3\n"},
        {"an offset past the end", "quorvel-place-index " + size + "\n上野\t0\n東京\t99999\n"},
        {"no offset", "quorvel-place-index " + size + "\n上野\t\n東京\tx\n"},
        {"no header", goodLines},
    };
    const PlaceReadings whole(text);
    for (const auto& c : cases) {
        TempDir dir;
        WriteFileBytes(dir.File("places.txt"), text);
        if (!c.index.empty()) WriteFileBytes(dir.File("places.idx"), c.index);
        const PlaceReadings loaded = PlaceReadings::Load(dir.File("places.txt"));
        for (const char* name : {"上野", "上野毛", "東京", "鷺沼", "上", "東京駅", "鷺", "龠", "あ"}) {
            EXPECT_EQ(loaded.Find(name), whole.Find(name)) << c.what << ": " << name;
            EXPECT_EQ(loaded.Starting(name).from, whole.Starting(name).from) << c.what << ": " << name;
            EXPECT_EQ(loaded.Starting(name).to, whole.Starting(name).to) << c.what << ": " << name;
        }
        EXPECT_EQ(loaded.Find("東京"), (std::vector<std::string>{"トウキョウ", "ヒガシキョウ"})) << c.what;
    }
}

// Files of odd shapes, searched in place without an index: every answer is a plain walk's over
// the lines (the name up to a tab, a reading after it without its CR, hiragana as katakana).
TEST(PlaceReadings, TheSearchInPlaceFindsWhatAWalkOverTheLinesFinds) {
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"no newline at the end", "上野\tうえの\n上野毛\tかみのげ\n東京\tとうきょう"},
        {"CR LF lines", "上野\tうえの\r\n東京\tとうきょう\r\n東京\tひがしきょう\r\n"},
        {"a line without a tab, an empty reading", "上\n上野\t\n上野\tうえの\n鷺沼\tさぎぬま\n"},
        {"long lines", "あ" + std::string(9000, 'x') + "\tあ\n上野\tうえの\n東京" + std::string(5000, 'y') + "\tと\n鷺沼\tさぎぬま\n"},
        {"one line", "東京\tとうきょう\n"},
    };
    const auto walk = [](const std::string& text, const std::string& name) {
        std::vector<std::string> readings;
        for (std::size_t at = 0, end = 0; at < text.size(); at = end + 1) {
            end = std::min(text.find('\n', at), text.size());
            std::string line = text.substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::size_t tab = line.find('\t');
            if (tab == std::string::npos || line.substr(0, tab) != name || tab + 1 == line.size()) continue;
            std::string reading = line.substr(tab + 1);
            for (std::size_t i = 0; i + 2 < reading.size(); i += 3)  // the tests' readings are all kana
                if (reading.compare(i, 3, "ぁ") >= 0 && reading.compare(i, 3, "ゖ") <= 0) {
                    const unsigned code = ((reading[i + 1] & 0x3Fu) << 6 | (reading[i + 2] & 0x3Fu)) + 0x60;
                    reading[i + 1] = static_cast<char>(0x80 | code >> 6);
                    reading[i + 2] = static_cast<char>(0x80 | (code & 0x3F));
                }
            readings.push_back(reading);
        }
        return readings;
    };
    // The first line whose name is not before the one given, as a byte offset.
    const auto firstNotBefore = [](const std::string& text, const std::string& name) {
        std::size_t at = 0;
        while (at < text.size() && text.substr(at, text.find_first_of("\t\n", at) - at) < name) at = std::min(text.find('\n', at), text.size() - 1) + 1;
        return std::min(at, text.size());
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFileBytes(dir.File("odd.txt"), c.text);
        const PlaceReadings loaded = PlaceReadings::Load(dir.File("odd.txt"));
        for (const std::string name : {"上", "上野", "上野毛", "東京", "東", "鷺沼", "鷺沼駅", "あ", "龠", "\x01"}) {
            EXPECT_EQ(loaded.Find(name), walk(c.text, name)) << c.what << ": " << name;
            const PlaceReadings::Span span = loaded.Starting(name);
            EXPECT_EQ(span.from, firstNotBefore(c.text, name)) << c.what << ": " << name;
            EXPECT_EQ(span.to, firstNotBefore(c.text, name + "\xFF")) << c.what << ": " << name;
            EXPECT_EQ(loaded.Find(name, span), walk(c.text, name)) << c.what << ": " << name;
        }
    }
}

// The extraction from a dictionary of our own (written as enamdict is, in EUC-JP): the places and
// stations, and a kanji's readings within names of two kanji where three names read it so (川
// kawa after 大's longest reading oo, not okawa after o); none of either ends it with a message and
// no file.
TEST(PlaceReadings, TheExtractionTakesPlacesAndKanjiReadingsWithinNames) {
    const struct {
        const char* entries;
        int status;
        const char* text;  // with the index after it when written
    } cases[] = {
        {"大 [お] /(s) O/\n大 [おお] /(s) Oo/\n川 [かわ] /(s) Kawa/\n山 [やま] /(s) Yama/\n野 [の] /(s) No/\n"
         "東 [ひがし] /(p) Higashi/\n東 [とう] /(s) Tou/\n北 [ほく] /(u) Hoku/\n京 [きょう] /(s) Kyou/\n"
         "大川 [おおかわ] /(p) Ookawa/\n大山 [おおやま] /(s) Ooyama/\n大野 [おおの] /(s) Oono/\n東川 [ひがしかわ] /(p) Higashikawa/\n"
         "北川 [ほくかわ] /(s) Hokukawa/\n東京 [とうきょう] /(p) Tokyo/\n京野 [きょうの] /(st) Kyouno Station/\n",
         0,
         "#大\tおお\n#川\tかわ\n京野\tきょうの\n大川\tおおかわ\n東\tひがし\n東京\tとうきょう\n東川\tひがしかわ\n"},
        {"大 [お] /(s) O/\n", 1, nullptr},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFileBytes(dir.File("names.utf8"), c.entries);
        const std::string iconv = "iconv -f UTF-8 -t EUC-JP '" + dir.File("names.utf8") + "' >'" + dir.File("names") + "'";
        ASSERT_EQ(std::system(iconv.c_str()), 0);
        const std::string run = "sh '" + std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/tools/place-readings.sh' '" + dir.File("names") + "' '" +
                                dir.File("places.txt") + "' 2>'" + dir.File("errors") + "'";
        const int status = std::system(run.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << c.entries;
        EXPECT_EQ(WEXITSTATUS(status), c.status) << c.entries;
        if (!c.text) {
            EXPECT_EQ(ReadFileBytes(dir.File("errors")), std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/tools/place-readings.sh: no place names in " + dir.File("names") + "\n");
            EXPECT_EQ(dir.List(), (std::vector<std::string>{"errors", "names", "names.utf8"}));
            continue;
        }
        EXPECT_EQ(ReadFileBytes(dir.File("places.txt")), c.text);
        EXPECT_EQ(ReadFileBytes(dir.File("places.idx")), "quorvel-place-index " + std::to_string(std::string(c.text).size()) + "\n#大\t0\n");
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"errors", "names", "names.utf8", "places.idx", "places.txt"}));
    }
}
}  // namespace
