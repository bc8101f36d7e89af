#include "maps/ReadingGuesser.h"

#include <iterator>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "maps/PlaceReadings.h"

#include "platform/posix/PosixCalls.h"

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
    };
    for (const auto& c : cases) EXPECT_EQ(guesser->Guess(c.name), c.reading) << c.name;
}

// MeCab is loaded once a process, when first needed: this needs a process of its own (as ctest runs it).
TEST(ReadingGuesser, ALibraryThatCannotBeLoadedTurnsGuessingOffAndSaysWhy) {
    struct NoLibraries : PosixCalls {
        void* Dlopen(const char*, int) override { return nullptr; }
    } calls;
    PosixCalls* previous = PosixCalls::Replace(&calls);
    std::string whyNot;
    const bool created = ReadingGuesser::Create(&whyNot) != nullptr;
    const std::string backend = ReadingGuesser::Backend();
    PosixCalls::Replace(previous);
    if (backend.empty()) GTEST_SKIP() << "built without MeCab";
    if (created) GTEST_SKIP() << "MeCab is linked in, or was loaded earlier in this process";
    EXPECT_EQ(whyNot, "MeCab のライブラリを読み込めませんでした (libmecab.so.2)");
    EXPECT_EQ(backend, "なし: " + whyNot);
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
