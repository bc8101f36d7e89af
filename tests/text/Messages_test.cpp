#include "text/Message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

namespace {
struct Row {
    const char* id;
    MessageId message;
};
const Row kRows[] = {
#define QUORVEL_MESSAGE(id, ja, en) {#id, MessageId::id},
#include "text/Messages.inc"
#undef QUORVEL_MESSAGE
};

std::set<char> Arguments(std::string_view text) {
    std::set<char> numbers;
    for (std::size_t i = 0; i + 2 < text.size(); ++i)
        if (text[i] == '{' && text[i + 2] == '}') numbers.insert(text[i + 1]);
    return numbers;
}
}  // namespace

// A row whose English drops or invents an argument would say a wrong or empty file name.
TEST(Messages, EveryRowHasBothTextsWithTheSameArguments) {
    for (const Row& row : kRows) {
        const std::string_view ja = MessageText(row.message, Language::ja), en = MessageText(row.message, Language::en);
        EXPECT_FALSE(ja.empty()) << row.id;
        EXPECT_FALSE(en.empty()) << row.id;
        if (row.message == MessageId::bilingual) continue;  // the caller's words in each language
        // A Japanese word left in the English text: only a row of marks alone may be both.
        const bool words = std::any_of(ja.begin(), ja.end(), [](char c) { return (c & 0x80) != 0; });
        if (words) {
            EXPECT_NE(ja, en) << row.id;
        }
        EXPECT_EQ(Arguments(ja), Arguments(en)) << row.id;
        for (const char n : Arguments(ja)) EXPECT_TRUE(n >= '1' && n <= '9') << row.id;
    }
}

TEST(Messages, ArgumentsAreFilledInTheirLanguageNestedMessagesToo) {
    const Message refused(MessageId::refused, "f.csv", Message(MessageId::originLine, 12), MessageId::noCoordinates);
    const Message lines(MessageId::manyLinesReplaced, "t.txt", Message(MessageId::moreLines, "3, 7", 2), MessageId::encodingCp932);
    const struct {
        const char* what;
        Message message;
        std::string ja, en;
    } cases[] = {
        {"nested", refused, "f.csv: 12 行目: 緯度・経度がありません。この地点は読みません",
         "f.csv: line 12: it has no latitude and longitude. This point is not read"},
        {"two levels", lines, "t.txt: 3, 7 ほか 2 行 行目: シフトJIS (CP932) として読めない文字を U+FFFD にしました",
         "t.txt: lines 3, 7 and 2 more: characters that are not Shift_JIS (CP932) were replaced with U+FFFD"},
        {"a text is said as it is", Message("{1} stays"), "{1} stays", "{1} stays"},
        {"an argument's braces are its own", Message(MessageId::originPoint, "{1}"), "地点 {1}", "point {1}"},
        {"a missing argument is nothing", Message(MessageId::notGpx, "g.gpx"), "g.gpx: GPX の文書ではありません（最上位の要素が <>）",
         "g.gpx: this is not a GPX document (its top element is <>)"},
        {"numbers as digits", Message(MessageId::dataCutExpected, std::size_t{4096}, -1), "途中で切れています (4096 バイト、-1 バイトのはずです)",
         "it is cut short (4096 bytes where there should be -1)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Words(c.message), c.ja) << c.what;
        EXPECT_EQ(Words(c.message, Language::en), c.en) << c.what;
        std::string out = "> ";
        AppendWords(out, c.message, Language::en);
        EXPECT_EQ(out, "> " + c.en) << c.what;
    }
}

TEST(Messages, ABrowsersLanguageIsJapaneseOnlyWhenItSaysSo) {
    const struct {
        const char* name;
        Language language;
    } cases[] = {{"ja", Language::ja}, {"ja-JP", Language::ja}, {"en", Language::en}, {"en-GB", Language::en}, {"fr", Language::en}, {"", Language::en}};
    for (const auto& c : cases) EXPECT_EQ(LanguageNamed(c.name), c.language) << c.name;
}
