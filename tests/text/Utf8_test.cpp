#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/TextReference.h"

namespace {
TEST(Utf8, DecodesEachFormAndRefusesEachInvalidOne) {
    const struct {
        std::string text;
        char32_t codePoint;
        std::size_t length;  // 1 and U+FFFD for invalid UTF-8
        bool valid;
        std::size_t sequence;  // Utf8SequenceLength
    } cases[] = {
        {std::string(1, '\0'), 0, 1, true, 1},
        {"\x7F", 0x7F, 1, true, 1},
        {"\xC2\x80", 0x80, 2, true, 2},
        {"\xDF\xBF", 0x7FF, 2, true, 2},
        {"\xE0\xA0\x80", 0x800, 3, true, 3},
        {"\xED\x9F\xBF", 0xD7FF, 3, true, 3},
        {"\xEE\x80\x80", 0xE000, 3, true, 3},
        {"\xEF\xBF\xBD", 0xFFFD, 3, true, 3},  // written in the text: valid
        {"\xF0\x90\x80\x80", 0x10000, 4, true, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4, true, 4},
        {"\x80", 0xFFFD, 1, false, 0},      // stray continuation byte
        {"\xC0\x80", 0xFFFD, 1, false, 0},  // overlong, no lead byte
        {"\xC1\xBF", 0xFFFD, 1, false, 0},
        {"\xE0\x9F\xBF", 0xFFFD, 1, false, 3},      // overlong
        {"\xF0\x8F\xBF\xBF", 0xFFFD, 1, false, 4},  // overlong
        {"\xED\xA0\x80", 0xFFFD, 1, false, 3},      // surrogate
        {"\xED\xBF\xBF", 0xFFFD, 1, false, 3},
        {"\xF4\x90\x80\x80", 0xFFFD, 1, false, 4},  // beyond U+10FFFF
        {"\xF5\x80\x80\x80", 0xFFFD, 1, false, 0},
        {"\xFF", 0xFFFD, 1, false, 0},
        {"\xE3\x81", 0xFFFD, 1, false, 0},  // cut off
        {"\xE3\x81"
         "A",
         0xFFFD, 1, false, 0},
        {"\xF0\x9F\x98"
         "\xC2\x80",
         0xFFFD, 1, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        const Utf8Char decoded = DecodeUtf8(c.text, 0);
        EXPECT_EQ(decoded.codePoint, c.codePoint);
        EXPECT_EQ(decoded.length, c.length);
        EXPECT_EQ(decoded.valid, c.valid);
        EXPECT_EQ(Utf8SequenceLength(c.text, 0), c.sequence);
        EXPECT_EQ(ValidUtf8Length(c.text, 0), c.valid ? c.length : 0u);
        EXPECT_EQ(Utf8PrefixLength(c.text, 1), c.length);  // an invalid byte is a character
        EXPECT_EQ(FirstInvalidUtf8("ab" + c.text), c.valid ? std::string::npos : 2u);
        // After and across runs of eight ASCII bytes, which are passed over a word at a time.
        for (const std::size_t before : {7u, 8u, 13u, 16u}) {
            const std::string text = std::string(before, 'x') + c.text + std::string(9, 'y');
            EXPECT_EQ(FirstInvalidUtf8(text), c.valid ? std::string::npos : before) << before;
        }
        std::size_t i = 0;
        EXPECT_EQ(NextCodePoint(c.text, i), c.codePoint);
        EXPECT_EQ(i, c.length);
    }
}

TEST(Utf8, EveryScalarValueReadsBackAsItWasWritten) {
    std::size_t failures = 0;
    for (char32_t c = 0; c <= 0x10FFFF; c = c == 0xD7FF ? 0xE000 : c + 1) {
        std::string text;
        AppendUtf8(text, c);
        const Utf8Char read = DecodeUtf8(text, 0);
        const std::size_t length = 1u + (c > 0x7F) + (c > 0x7FF) + (c > 0xFFFF);
        failures += !read.valid || read.codePoint != c || read.length != length || text.size() != length;
    }
    EXPECT_EQ(failures, 0u);
}

// The checks and steps against the plain decoder of support/TextReference.h: random texts of 0 to
// 40 pieces, after 0 to 16 ASCII bytes (the word-at-a-time check), every offset and count.
TEST(Utf8, ChecksAndStepsAsThePlainDecoder) {
    std::mt19937 random(8);
    std::size_t failures = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string text = std::string(static_cast<std::size_t>(round % 17), 'x') + textref::RandomText(random, static_cast<std::size_t>(round % 41));
        std::size_t firstInvalid = std::string::npos, characters = 0, offset = 0;
        textref::EachCharacter(text, [&](const std::string& c, bool valid) {
            if (!valid && firstInvalid == std::string::npos) firstInvalid = offset;
            offset += c.size();
            ++characters;
        });
        for (std::size_t at = 0; at < text.size(); ++at) failures += ValidUtf8Length(text, at) != textref::ValidLength(text, at);
        failures += FirstInvalidUtf8(text) != firstInvalid;
        for (std::size_t count = 0; count <= characters + 1; ++count) failures += Utf8PrefixLength(text, count) != textref::PrefixLength(text, count);
        if (failures > 0) {
            ADD_FAILURE() << testing::PrintToString(text);
            break;
        }
    }
    EXPECT_EQ(failures, 0u);
}

TEST(Utf8, BoundaryStepsBackOverContinuationBytesOnly) {
    const std::string text =
        "a\xE6\x9D\xB1\x80"
        "b";  // a, 東, a stray continuation byte, b
    const std::size_t expected[] = {0, 1, 1, 1, 1, 5, 6};
    for (std::size_t at = 0; at <= text.size(); ++at) EXPECT_EQ(Utf8BoundaryAtOrBefore(text, at), expected[at]) << at;
}
}  // namespace
