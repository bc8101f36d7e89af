#include "cli/TerminalText.h"

#include <gtest/gtest.h>

TEST(TerminalTextTest, Cp932BecomesUtf8AndWhatCannotBeShownIsReplaced) {
    struct Case {
        std::string cp932;
        std::string utf8;
    };
    const Case cases[] = {
        {"", ""},
        {"ABC&<>", "ABC&<>"},
        {"\x93\x8c\x8b\x9e", "東京"},
        {"\xB6\xC5", "ｶﾅ"},
        {"\x95\x5C", "表"},            // trail byte 0x5C is no backslash
        {"AB\x82", "AB\xEF\xBF\xBD"},  // a lead byte cut off at the end
        {"\x82\x20"
         "A",
         "\xEF\xBF\xBD A"},  // a lead byte with no valid trail byte
        {"a\tb\nc\x1B[2J",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD"
         "c\xEF\xBF\xBD[2J"},
        {"\x7F", "\xEF\xBF\xBD"},
        {"\x80", "\xEF\xBF\xBD"},  // would be a C1 control
        {"\x93\x8c"
         "\x82",
         "東\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(Cp932ToTerminal(c.cp932), c.utf8);
    }
}

TEST(TerminalTextTest, Utf8ControlCharactersAreReplacedAndTheRestKept) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"東京 ｶﾅ é", "東京 ｶﾅ é"},
        {"a\x7F"
         "b\r",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD"},
        {"\xC2\x85\xC2\x9F\xC2\xA0", "\xEF\xBF\xBD\xEF\xBF\xBD\xC2\xA0"},  // C1 controls; U+00A0 is none
        {"\x9B"
         "2J\xE3\x81",
         "\x9B"
         "2J\xE3\x81"},  // invalid UTF-8 is left alone
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToTerminal(c.text), c.shown) << testing::PrintToString(c.text);
}
