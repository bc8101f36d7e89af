#include "readings/ReadingGuesser.h"

#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "readings/PlaceReadings.h"

#include "platform/posix/PosixCalls.h"
#include "support/TextReference.h"

namespace {
TEST(ReadingGuesser, HalfWidthKatakana) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"トウキョウエキ", "ﾄｳｷｮｳｴｷ"},
        {"がぎぐげご・ぱぴぷぺぽ", "ｶﾞｷﾞｸﾞｹﾞｺﾞ･ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ"},
        {"ヴァイオリン　ゔ", "ｳﾞｧｲｵﾘﾝ ｳﾞ"},
        {"ャュョッァィゥェォ", "ｬｭｮｯｧｨｩｪｫ"},
        {"ヰヱヮヵヶヲン", "ｲｴﾜｶｹｦﾝ"},
        {"ヷヸヹヺ", "ﾜﾞｲﾞｴﾞｦﾞ"},
        {"ラーメン「一」。、゛゜", "ﾗｰﾒﾝ｢一｣｡､ﾞﾟ"},
        {"ABC 12 ｱｲ 東京 ヽ", "ABC 12 ｱｲ 東京 ヽ"},
        {"\xFF"
         "あ",
         "\xFF"
         "ｱ"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ToHalfWidthKatakana(c.text), c.expected) << c.text;
}

// The plain form: each character on its own (as support/TextReference.h steps), hiragana moved to
// katakana, then the half-width forms of U+30A1 to U+30FA and of the signs.
std::string PlainHalfWidth(const std::string& text) {
    static const std::vector<std::string> katakana = [] {
        std::istringstream forms(
            "ｧ ｱ ｨ ｲ ｩ ｳ ｪ ｴ ｫ ｵ ｶ ｶﾞ ｷ ｷﾞ ｸ ｸﾞ ｹ ｹﾞ ｺ ｺﾞ ｻ ｻﾞ ｼ ｼﾞ ｽ ｽﾞ ｾ ｾﾞ ｿ ｿﾞ ﾀ ﾀﾞ ﾁ ﾁﾞ ｯ ﾂ ﾂﾞ ﾃ ﾃﾞ ﾄ ﾄﾞ ﾅ ﾆ ﾇ ﾈ ﾉ "
            "ﾊ ﾊﾞ ﾊﾟ ﾋ ﾋﾞ ﾋﾟ ﾌ ﾌﾞ ﾌﾟ ﾍ ﾍﾞ ﾍﾟ ﾎ ﾎﾞ ﾎﾟ ﾏ ﾐ ﾑ ﾒ ﾓ ｬ ﾔ ｭ ﾕ ｮ ﾖ ﾗ ﾘ ﾙ ﾚ ﾛ ﾜ ﾜ ｲ ｴ ｦ ﾝ ｳﾞ ｶ ｹ ﾜﾞ ｲﾞ ｴﾞ ｦﾞ");
        std::vector<std::string> all;
        for (std::string form; forms >> form;) all.push_back(form);
        return all;
    }();
    static const std::map<char32_t, std::string> signs = {{0x3000, " "}, {0x3001, "､"}, {0x3002, "｡"}, {0x300C, "｢"}, {0x300D, "｣"}, {0x309B, "ﾞ"}, {0x309C, "ﾟ"}, {0x30FB, "･"}, {0x30FC, "ｰ"}};
    std::string out;
    textref::EachCharacter(text, [&](const std::string& c, bool valid) {
        char32_t code = 0;
        if (valid && c.size() == 3)
            code = (static_cast<unsigned char>(c[0]) & 0x0Fu) << 12 | (static_cast<unsigned char>(c[1]) & 0x3Fu) << 6 | (static_cast<unsigned char>(c[2]) & 0x3Fu);
        if (code >= 0x3041 && code <= 0x3096) code += 0x60;
        if (code >= 0x30A1 && code <= 0x30FA)
            out += katakana.at(code - 0x30A1);
        else
            out += signs.count(code) ? signs.at(code) : c;
    });
    return out;
}

// Every character from U+3000 to U+30FF alone, then random texts, short and longer than the
// 256 bytes written at a time, against the plain form.
TEST(ReadingGuesser, HalfWidthKatakanaAsThePlainForm) {
    for (char32_t c = 0x3000; c <= 0x30FF; ++c) EXPECT_EQ(ToHalfWidthKatakana(textref::Utf8(c)), PlainHalfWidth(textref::Utf8(c))) << std::hex << c;
    std::mt19937 random(30);
    for (int round = 0; round < 5000; ++round) {
        const std::string text = textref::RandomText(random, static_cast<std::size_t>(round < 4800 ? round % 41 : 100 + round % 200));
        ASSERT_EQ(ToHalfWidthKatakana(text), PlainHalfWidth(text)) << testing::PrintToString(text);
    }
}

// Every build, with the analyser or without, reads these names alike.
TEST(ReadingGuesser, NamesOfKanaDigitsAndLettersAreReadAsWritten) {
    const std::unique_ptr<ReadingGuesser> written = ReadingGuesser::Written();
    const std::unique_ptr<ReadingGuesser> analyser = ReadingGuesser::Create();
    const struct {
        const char* name;
        const char* reading;
    } cases[] = {
        {"P1", "P1"},
        {"セブン-イレブン", "セブン-イレブン"},
        {"ＡＢＣ　 まーと ", "ABC マート"},
        {"ｱｲｳ・ABC", "ｱｲｳ・ABC"},
        {"東京", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(written->Guess(c.name), c.reading) << c.name;
        EXPECT_EQ(written->GuessHalfWidth(c.name), ToHalfWidthKatakana(c.reading)) << c.name;
        if (analyser && *c.reading) {
            EXPECT_EQ(analyser->Guess(c.name), c.reading) << c.name;
        }
    }
}

TEST(ReadingGuesser, ReadsWellKnownPlaceNames) {
    if (ReadingGuesser::Backend().empty()) GTEST_SKIP() << "built without MeCab";
    EXPECT_EQ(ReadingGuesser::Backend().rfind("MeCab 0.", 0), 0u);
    const std::unique_ptr<ReadingGuesser> guesser = ReadingGuesser::Create();
    ASSERT_TRUE(guesser) << "MeCab's dictionary cannot be loaded";
    const struct {
        const char* name;
        const char* reading;
    } cases[] = {
        {"東京駅", "トウキョウエキ"},
        {"大阪城", "オオサカジョウ"},
        {"富士山", "フジサン"},
        {"京都タワー", "キョウトタワー"},
        {"札幌", "サッポロ"},
        {"横浜", "ヨコハマ"},
        {"名古屋", "ナゴヤ"},
        {"奈良公園", "ナラコウエン"},
        {"金閣寺", "キンカクジ"},
        {"広島", "ヒロシマ"},
        // A word with no reading gives none rather than a part; kana the dictionary lacks stay.
        {"咥咥駅", ""},
        {"ぽよよん", "ポヨヨン"},
        {"", ""},
        // Digits, Latin letters and marks as written (in ASCII); a blank between words stays.
        {"国道1号", "コクドウ1ゴウ"},
        {"国道１号線", "コクドウ1ゴウセン"},
        {"ABCマート", "ABCマート"},
        {"ＡＢＣマート", "ABCマート"},
        {"セブン-イレブン", "セブン-イレブン"},
        {"東京・新宿,渋谷", "トウキョウ・シンジュク,シブヤ"},
        {"羽田空港 第1ターミナル", "ハネダクウコウ ダイ1ターミナル"},
        {"ｱｲｳ駅", "ｱｲｳエキ"},
        // Words read as written beside words guessed; a word without a reading still gives none.
        {"東京駅 12", "トウキョウエキ 12"},
        {"ＡＢＣ\u3000東京 ぽよよん", "ABC トウキョウ ポヨヨン"},
        {"12 咥咥駅", ""},
        // Place names' own rules: ga of ヶ and ケ, kami/shimo/naka first, chou of a town.
        {"つつじヶ丘", "ツツジガオカ"},
        {"さくらケ丘", "サクラガオカ"},
        {"ケーキ", "ケーキ"},
        {"三宅町", "ミヤケチョウ"},
        {"下小田井駅", "シモオタイエキ"},
        {"中", "ナカ"},
        {"上", "ウエ"},
        // A last word read as a place's suffix: doori, mae, guchi, bashi.
        {"中洲通", "ナカスドオリ"},
        {"函館どっく前駅", "ハコダテドックマエエキ"},
        {"めがね橋", "メガネバシ"},
        // Native readings: ko, oo, taka first before a kanji; ji, da, shima after one.
        {"小鳩台", "コバトダイ"},
        {"大鳩台", "オオハトダイ"},
        {"高鳩台", "タカハトダイ"},
        {"小アジア", "ショウアジア"},
        {"鳩寺", "ハトジ"},
        {"狸田", "タヌキダ"},
        {"狸島", "タヌキシマ"},
        {"グアム島", "グアムトウ"},
        // A city's 市 read on its own (not 阿賀 野市 ノイチ); a word the dictionary lacks read a
        // character at a time.
        {"阿賀野市", "アガノシ"},
        {"四万十市", "シマントシ"},
        {"宇城市", "ウキシ"},
        {"いわき市", "イワキシ"},
        {"四日市", "ヨッカイチ"},
    };
    // The half-width form, as the unit takes it, from words guessed then (the second guesser) and
    // remembered (the first).
    const std::unique_ptr<ReadingGuesser> fresh = ReadingGuesser::Create();
    for (const auto& c : cases) {
        EXPECT_EQ(fresh->GuessHalfWidth(c.name), ToHalfWidthKatakana(c.reading)) << c.name;
        EXPECT_EQ(guesser->Guess(c.name), c.reading) << c.name;
        EXPECT_EQ(guesser->GuessHalfWidth(c.name), ToHalfWidthKatakana(c.reading)) << c.name;
    }
}

// MeCab is loaded once a process, when first needed: this needs a process of its own (as ctest runs it).
TEST(ReadingGuesser, ALibraryThatCannotBeLoadedTurnsGuessingOffAndSaysWhy) {
    struct NoLibraries : PosixCalls {
        void* Dlopen(const char* name, int, std::string& reason) override {
            reason = name;
            return nullptr;
        }
    } calls;
    PosixCalls* previous = PosixCalls::Replace(&calls);
    Message whyNot;
    const bool created = ReadingGuesser::Create(&whyNot) != nullptr;
    const std::string backend = ReadingGuesser::Backend();
    PosixCalls::Replace(previous);
    if (backend.empty()) GTEST_SKIP() << "built without MeCab";
    if (created) GTEST_SKIP() << "MeCab is linked in, or was loaded earlier in this process";
    EXPECT_EQ(Words(whyNot), "MeCab のライブラリを読み込めませんでした (libmecab.so.2)");
    EXPECT_EQ(Words(whyNot, Language::en), "the MeCab library could not be loaded (libmecab.so.2)");
    EXPECT_EQ(backend, "なし: " + Words(whyNot));
    EXPECT_TRUE(ReadingGuesser::Create());
}
}  // namespace

namespace {
// Names of our own, read as the analyser would not: the file's reading wins, whole, after 駅, or as
// a run of names; a municipality's part takes the analyser's reading for what the file lacks.
TEST(ReadingGuesser, PlaceNamesFileReadingsComeFirst) {
    if (ReadingGuesser::Backend().empty()) GTEST_SKIP() << "built without MeCab";
    // Out of order, with a CRLF line and lines of no use, as a hand-edited file might be.
    const auto places = std::make_shared<const PlaceReadings>(
        "鳩ノ町\tはとのまち\n東鳩\tひがしばと\n鷺沼\tさぎのぬま\r\n鷺沼\tさぎぬま\n青葉台\tあおばだい\n"
        "鳩\tきゅう\n名のみ\n\tよみのみ\n鳩ノ町\tはとのちょう\n鷹巣\tたかす\n鷹巣\tたかのすう\n鳩ヶ森\tくがもり\n");
    const std::unique_ptr<ReadingGuesser> guesser = ReadingGuesser::Create(places);
    ASSERT_TRUE(guesser);
    const struct {
        const char* name;
        const char* reading;
    } cases[] = {
        {"東鳩", "ヒガシバト"},
        {"東鳩駅", "ヒガシバトエキ"},
        // Of two readings, the analyser's when it is one of them, else the one most like it.
        {"鷺沼", "サギヌマ"},
        {"鳩ノ町", "ハトノチョウ"},
        {"鷹巣", "タカノスウ"},
        {"鳩ケ森", "クガモリ"},
        {"東鳩青葉台", "ヒガシバトアオバダイ"},
        {"鳩ノ町中央", "ハトノチョウチュウオウ"},
        {"東鳩　青葉台 2", "ヒガシバト アオバダイ 2"},
        // Not after a municipality, nor a name of one character, nor digits: the analyser's.
        {"東鳩中央", "ヒガシハトチュウオウ"},
        {"鳩", "ハト"},
        {"東鳩1号", "ヒガシハト1ゴウ"},
        {"名のみ", "ナノミ"},
    };
    for (const auto& c : cases) EXPECT_EQ(guesser->Guess(c.name), c.reading) << c.name;
    // Again in the other order, the words now read before: the same readings.
    for (auto c = std::rbegin(cases); c != std::rend(cases); ++c) EXPECT_EQ(guesser->Guess(c->name), c->reading) << c->name;
    const struct {
        const char* name;
        std::vector<std::string> readings;
    } lookups[] = {
        {"鷺沼", {"サギノヌマ", "サギヌマ"}},
        {"鷹巣", {"タカス", "タカノスウ"}},
        {"東鳩", {"ヒガシバト"}},
        {"鳩", {"キュウ"}},
        {"鷺", {}},
        {"鷺沼町", {}},
        {"一", {}},
        {"龠", {}},
        {"名のみ", {}},
        {"", {}},
    };
    for (const auto& lookup : lookups) EXPECT_EQ(places->Find(lookup.name), lookup.readings) << lookup.name;
    EXPECT_FALSE(places->Starting("鷺").Empty());
    EXPECT_TRUE(places->Starting("鴨").Empty());
    EXPECT_TRUE(PlaceReadings::Load("/nonexistent/place-readings.txt").Empty());
}
}  // namespace

namespace {
// Names no list of places holds whole, read from the analyser's dictionary and the kanji's readings
// within names: a place's entry for the whole name (十八女), two kanji read Sino-Japanese both,
// a closing 市 on its own; names the data cannot read right still get a reading, their unit's last.
TEST(ReadingGuesser, NamesNoListReachesAreReadAsPlaces) {
    if (ReadingGuesser::Backend().empty()) GTEST_SKIP() << "built without MeCab";
    if (PlaceReadings::Load(QUORVEL_PLACE_READINGS_FOR_TESTS).Empty()) GTEST_SKIP() << QUORVEL_PLACE_READINGS_FOR_TESTS << " was not built (no enamdict)";
    const std::unique_ptr<ReadingGuesser> guesser = ReadingGuesser::Create();
    ASSERT_TRUE(guesser);
    const struct {
        const char* name;
        const char* reading;
    } cases[] = {
        {"十八女", "サカリ"},
        {"周南市", "シュウナンシ"},
        {"北杜市", "ホクトシ"},
        {"嘉麻市", "カマシ"},
        {"筑北村", "チクホクムラ"},
        {"阿賀野市", "アガノシ"},
        {"四万十市", "シマントシ"},
    };
    for (const auto& c : cases) EXPECT_EQ(guesser->Guess(c.name), c.reading) << c.name;
    const struct {
        const char* name;
        const char* ending;
    } someReading[] = {{"筑西市", "シ"}, {"西予市", "シ"}, {"邑南町", "チョウ"}, {"大紀町", "チョウ"}};
    for (const auto& c : someReading) {
        const std::string reading = guesser->Guess(c.name);
        EXPECT_GT(reading.size(), std::string(c.ending).size() + 3) << c.name;
        EXPECT_EQ(reading.substr(reading.size() - std::min(reading.size(), std::string(c.ending).size())), c.ending) << c.name;
    }
}

// The kanji's readings within names (the # lines): of two kanji read Sino-Japanese, each takes its
// first reading of that shape; a kanji read alone its first. Without them a kanji neither the
// dictionary nor the file reads leaves the name without a reading.
TEST(ReadingGuesser, KanjiReadingsWithinNamesComeFromTheFile) {
    if (ReadingGuesser::Backend().empty()) GTEST_SKIP() << "built without MeCab";
    const std::string kanji = "#筑\tつくし\n#筑\tちく\n#西\tにし\n#西\tせい\n#予\tよ\n#北\tきた\n#北\tほく\n#杜\tもり\n#杜\tと\n";
    const std::unique_ptr<ReadingGuesser> with = ReadingGuesser::Create(std::make_shared<const PlaceReadings>(kanji));
    const std::unique_ptr<ReadingGuesser> without = ReadingGuesser::Create(std::make_shared<const PlaceReadings>(""));
    ASSERT_TRUE(with && without);
    const struct {
        const char* name;
        const char* with;
        const char* without;
    } cases[] = {
        {"筑西", "チクセイ", ""},
        {"西予", "セイヨ", ""},
        {"北杜", "ホクト", "キタモリ"},
        {"筑", "ツクシ", ""},
        {"東川", "ヒガシガワ", "ヒガシガワ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(with->Guess(c.name), c.with) << c.name;
        EXPECT_EQ(without->Guess(c.name), c.without) << c.name;
    }
}
}  // namespace
