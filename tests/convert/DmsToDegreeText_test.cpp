#include "convert/DmsToDegreeText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {
std::string Convert(const std::string& dms) {
    CString text(dms);
    DmsToDegreeText(text);
    return text.Str();
}

struct DmsCase {
    const char* input;
    const char* expected;
};

TEST(DmsToDegreeText, ConvertsEachFormOfCoordinateText) {
    const DmsCase cases[] = {
        {"139.46.44.040", "139.77890"},
        {" 35.39.29.157", "35.65810"},
        {" 34.41.13.500", "34.68708"},
        {"139.46.44.4", "139.77900"},
        {"139.46.44.04", "139.77890"},
        {" 35.40.59.1020", "35.68308"},
        {"139.46.44040", "139.77890"},
        {" 35.40.60.000", "35.66668"},
        {"139'46'44.040", "139.77890"},
        {"139 46 44 040", "139.77890"},
        {" 35.40", "35.66667"},
        {" 35", "35.00000"},
        {"", ".00000"},
        {"abc", ".00000"},
        {"  0.30.00.000", ".50000"},
        {" 00.03.00.000", ".05000"},
        {"  9.59.59.999", "10.00000"},
        {"139.59.59.999", "140.00000"},
        {" 20.00.00.198", "20.00006"},
        {" 35.00.00.054", "35.00001"},
        // Further separators, and runs of them.
        {"139,46/44\t040", "139.77890"},
        {"139\n46..44 , 040.", "139.77890"},
        {"..139...46...44...040...", "139.77890"},
        // Carriage return, vertical tab and form feed are skipped before a number, not separators.
        {"\r139.\v46.\f44.040", "139.77890"},
        {"1\r39.46.44.040", "1.77890"},
        // Digits end at the first other byte; a bare sign or a letter reads 0.
        {"139x.46.44.040", "139.77890"},
        {"139.46.44.04x", "139.77889"},
        {"139.46.44.x40", "139.77889"},
        {"139.-.44.040", "139.01223"},
        // The thousandths of a joint field: 60 is 60 thousandths; the fourth token is ignored.
        {"139.46.60.999", "139.76668"},
        {"139.46.59.999", "139.78333"},
        {"139.46.1000000", "140.04444"},
        // A sign is read but cannot be written: the text is that of the magnitude.
        {"+139.+46.+44.+40", "139.77890"},
        {"-35.00.00.000", "35.00000"},
        {"-35.39.29.157", "34.34190"},
        {"139.46.-1.000", "139.76639"},
        // The smallest non-zero values round to zero or to the last decimal.
        {"0.0.0.001", ".00000"},
        // 18 thousandths times the constant lies below 0.000005; divided, it would round up.
        {"0.0.0.018", ".00000"},
        {"0.0.0.019", ".00001"},
        {"199.59.59.996", "200.00000"},
    };
    for (const DmsCase& c : cases) EXPECT_EQ(Convert(c.input), c.expected) << "input \"" << c.input << "\"";
}

// Texts of the record form's length whose fields are not all the form's: read as the tokens read
// them, not by position.
TEST(DmsToDegreeText, ReadsNearMissesOfTheRecordFormByTokens) {
    const DmsCase cases[] = {
        {"1 9.46.44.040", "1.16290"},    // a blank inside the degrees ends a token
        {"   .46.44.040", "46.74444"},   // no degrees: the minutes come first
        {"+39.46.44.040", "39.77890"},   // a sign
        {" 35.39.29.1x7", "35.65806"},   // a letter ends the thousandths
        {" 35:39.29.157", "35.48338"},   // no separator after the degrees
        {"999.59.59.999", "193.04647"},  // the total wraps at 32 bits
        {"135.39.29.157", "135.65810"},
    };
    for (const DmsCase& c : cases) EXPECT_EQ(Convert(c.input), c.expected) << "input \"" << c.input << "\"";
}

TEST(DmsToDegreeText, LooksAtTheFirst32BytesOnly) {
    const std::string padding(30, ' ');
    const DmsCase cases[] = {
        {"359", "35.00000"},   // the third digit is byte 33
        {"35.9", "35.00000"},  // the minutes start at byte 33
        {"3", "3.00000"},
    };
    for (const DmsCase& c : cases) EXPECT_EQ(Convert(padding + c.input), c.expected) << c.input;
    EXPECT_EQ(Convert(std::string(29, ' ') + "359"), "359.00000");
    EXPECT_EQ(Convert("139.46.44.040" + std::string(40, '7')), "139.77890");
    EXPECT_EQ(Convert(std::string(200, '.')), ".00000");
}

// Numbers wrap at 32 bits and so does the total, as on a two's-complement machine; the sign of a
// negative total is dropped.
TEST(DmsToDegreeText, WrapsOverlongNumbersAndTotalsAt32Bits) {
    const DmsCase cases[] = {
        {"4294967296", ".00000"},    // 2^32 reads as 0
        {"4294967331", "35.00000"},  // 2^32 + 35
        {"99999999999999999999999999999", "1.00000"},
        {"600.00.00.000", "593.04647"},   // 2,160,000,000 wraps to -2,134,967,296
        {"596.31.23.647", "596.52324"},   // 2^31 - 1, the largest total
        {"596.31.23.648", "596.52324"},   // 2^31 wraps to -2^31: magnitude 2^31
        {"1193.02.47.296", ".00000"},     // 2^32 wraps to 0
        {"0.0.2147483647", "596.52324"},  // joint field at the limit of a number
    };
    for (const DmsCase& c : cases) EXPECT_EQ(Convert(c.input), c.expected) << "input \"" << c.input << "\"";
}

// Rounding of the 17-digit rendering at the fifth decimal, done on the digits of the printed value.
std::string Reference(long total) {
    char printed[40];
    std::snprintf(printed, sizeof printed, "%.16e", static_cast<double>(total) * 2.7777777777777776e-7);
    const std::string text(printed);
    std::string digits = text.substr(0, 1) + text.substr(2, 16);
    const int exponent = std::stoi(text.substr(text.find('e') + 1));
    std::string whole;
    std::string fraction;
    if (exponent >= 0) {
        whole = digits.substr(0, static_cast<size_t>(exponent) + 1);
        fraction = digits.substr(static_cast<size_t>(exponent) + 1);
    } else {
        whole = "0";
        fraction = std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    fraction += "000000";
    long long units = std::stoll(whole + fraction.substr(0, 5)) + (fraction[5] >= '5' ? 1 : 0);
    char out[40];
    std::snprintf(out, sizeof out, "%lld.%05lld", units / 100000, units % 100000);
    std::string result(out);
    return result.compare(0, 2, "0.") == 0 ? result.substr(1) : result;
}

std::string DmsOf(long total) {
    char text[40];
    std::snprintf(text, sizeof text, "%3ld.%02ld.%02ld.%03ld", total / 3600000, total / 60000 % 60, total / 1000 % 60,
                  total % 1000);
    return text;
}

TEST(DmsToDegreeText, AgreesWithThePrintedRenderingAcrossTheRange) {
    int mismatches = 0;
    for (long total = 0; total < 723000000 && mismatches < 5; total += 7919) {
        const std::string dms = DmsOf(total);
        const std::string expected = Reference(total);
        if (Convert(dms) != expected) {
            ++mismatches;
            ADD_FAILURE() << dms << " gives " << Convert(dms) << ", expected " << expected;
        }
    }
    // Densely through Japan's latitudes, where the two-stage rounding matters.
    for (long total = 72000000; total < 72200000 && mismatches < 5; ++total) {
        if (Convert(DmsOf(total)) != Reference(total)) {
            ++mismatches;
            ADD_FAILURE() << DmsOf(total) << " gives " << Convert(DmsOf(total)) << ", expected " << Reference(total);
        }
    }
}
}  // namespace
