// The unit's degree text of a point that is no whole 1/256 s, as the store's buffer takes it.
#include <gtest/gtest.h>

#include "maps/UnitFields.h"

TEST(UnitFields, DegreeTextOfAnyAngle) {
    const struct {
        double degrees;
        const char* text;
    } cases[] = {
        {35.6812362, " 35.40.52.450"}, {0.0001, "  0.00.00.360"}, {9.99999, "  9.59.59.964"}, {999.9999999, "1000.00.00.000"}, {5000.0001, "5000.00.00.360"}, {123456.0001, "123456.00.00.36"},  // cut at 15
    };
    for (const auto& c : cases) EXPECT_EQ(DegreesToDms(c.degrees).Str(), c.text) << c.degrees;
}
