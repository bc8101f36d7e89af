// Line numbers looked up from the last answer agree with counting the line breaks, in whatever
// order the offsets are asked for.
#include "text/LineIndex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// 40 lines of different lengths, the last without a line break.
std::string Document() {
    std::string text;
    for (int line = 1; line <= 40; ++line) text += std::string(static_cast<std::size_t>(line % 7), 'x') + (line < 40 ? "\n" : "");
    return text;
}
}  // namespace

TEST(LineIndex, LinesFromTheLastAnswerAgreeWithCounting) {
    const std::string text = Document();
    const std::size_t end = text.size();
    struct Order {
        const char* what;
        std::vector<std::size_t> offsets;
    };
    const Order orders[] = {
        {"in document order", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
        {"the same offset again, and on a line break", {5, 5, 5, 6, 6, 7}},
        {"far ahead, past the few breaks tried in turn", {0, 100, 101, end - 1, end}},
        {"backwards", {end, end - 1, 60, 59, 3, 0}},
        {"past the end of the text", {end + 10, 2, end + 1000}},
        {"back and forth", {50, 10, 90, 11, 91, 0, end}},
    };
    const LineIndex lines(text);
    for (const Order& order : orders) {
        std::size_t hint = 0;
        for (const std::size_t offset : order.offsets)
            EXPECT_EQ(lines.Line(offset, hint), LineIndex::LineAt(text, offset)) << order.what << ", offset " << offset;
    }
}
