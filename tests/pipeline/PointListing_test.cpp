// One listing for the CLI and the page: the same columns, empty where the unit cannot take a point
// or no map can hold it; the terminal's texts made safe, the page's fields escaped.
#include <gtest/gtest.h>

#include <string>

#include "pipeline/Conversion.h"
#include "pipeline/PointListing.h"
#include "text/Cp932Text.h"

namespace {
struct ListingCase {
    const char* what;
    ListedPoint point;
    std::string line;      // --list's, numbered 7
    std::string pageLine;  // the page's
};

ListedPoint Point(bool unit, bool shifted, const char* name, const char* unitName, const char* method, bool guessed) {
    ListedPoint point;
    point.hasUnitColumns = unit;
    if (unit) {
        point.unitName = Utf8ToCp932(unitName);
        point.unitReading = Utf8ToCp932("ﾄｳｷｮｳ");
        point.tokyoLatitude = CString("35.40523");
        point.tokyoLongitude = CString("139.45000");
    }
    point.digits = "0312345678";
    point.shifted = shifted;
    point.latitude = 35.6812362;
    point.longitude = -0.5;
    point.method = method;
    point.name = name;
    point.readingGuessed = guessed;
    return point;
}

class Listing : public testing::TestWithParam<ListingCase> {};

TEST_P(Listing, TheCliAndThePageShowTheSameColumns) {
    const ListingCase& c = GetParam();
    std::string line, pageLine;
    PointListing::AppendLine(line, 7, c.point);
    PointListing::AppendPageLine(pageLine, c.point);
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(pageLine, c.pageLine);
}

INSTANTIATE_TEST_SUITE_P(
    Points, Listing,
    testing::Values(
        ListingCase{"every column", Point(true, true, "東京駅", "東京駅", "grid", true),
                    "7\t東京駅\tﾄｳｷｮｳ\t35.40523\t139.45000\t0312345678\t35.6812362\t-0.5000000\tgrid\t東京駅\t○\n",
                    "1\t東京駅\tﾄｳｷｮｳ\t6\t5\t35.40523\t139.45000\t0312345678\t1\t35.6812362\t-0.5000000\tgrid\t東京駅\t1\n"},
        ListingCase{"not for the unit: its columns empty", Point(false, true, "Sydney", "", "helmert", false),
                    "7\t\t\t\t\t0312345678\t35.6812362\t-0.5000000\thelmert\tSydney\t\n",
                    "0\t\t\t\t\t\t\t0312345678\t1\t35.6812362\t-0.5000000\thelmert\tSydney\t0\n"},
        ListingCase{"not on a map: no WGS 84, the reason as the method", Point(true, false, "a\tb\\c\nd\re", "x\x1b", "位置がありません", false),
                    "7\tx\xEF\xBF\xBD\tﾄｳｷｮｳ\t35.40523\t139.45000\t0312345678\t\t\t位置がありません\t"
                    "a\xEF\xBF\xBD"
                    "b\\c\xEF\xBF\xBD"
                    "d\xEF\xBF\xBD"
                    "e\t\n",
                    "1\tx\x1b\tﾄｳｷｮｳ\t2\t5\t35.40523\t139.45000\t0312345678\t0\t\t\t位置がありません\ta\\tb\\\\c\\nd\\re\t0\n"}),
    [](const testing::TestParamInfo<ListingCase>& param) { return "Case" + std::to_string(param.index); });

TEST(ListingHeading, NamesTheInputItsPointsAndTheColumns) {
    EXPECT_EQ(PointListing::Heading("a.mem", 12),
              "a.mem (12 地点)\n番号\t名称\t読み\t緯度\t経度\t数字\t緯度(WGS84)\t経度(WGS84)\t測地系変換\t元の名称\t推測\n");
    EXPECT_EQ(PointListing::PageFields().size(), 14u);
}
}  // namespace
