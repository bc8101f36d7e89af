// Control bytes in the unit's record texts become blanks, a lead byte's trail byte excepted; those
// not blank already are named.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/SafeText.h"

namespace {
struct ControlCase {
    std::string record, blanked;
    std::vector<char32_t> named;
};

class RecordControls : public testing::TestWithParam<ControlCase> {};

TEST_P(RecordControls, BecomeBlanks) {
    std::string text = GetParam().record;
    EXPECT_EQ(ReplaceRecordControlCharacters(text), GetParam().named);
    EXPECT_EQ(text, GetParam().blanked);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordControls,
    testing::Values(ControlCase{"\x93\x8c\x8b\x9e", "\x93\x8c\x8b\x9e", {}},        // 東京: trail bytes kept
                    ControlCase{"a\tb\x7f", "a b ", {0x7F}},                        // a tab blanked without a word
                    ControlCase{"\x81\x1b[2J", "\x81 [2J", {0x1B}},                 // a lead byte before ESC
                    ControlCase{"\x81\x7f\xe0\x0a\x9f", "\x81 \xe0 \x9f", {0x7F}},  // before DEL and LF; one at the end
                    ControlCase{"\x82\xa0\x01", "\x82\xa0 ", {0x01}}));
}  // namespace
