// The portable decimal forms (the page's, whose C++ library lacks them for double) against the
// standard library's: the same value, the same end, the same error for every text.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <utility>
#include <string>

#include "text/DecimalChars.h"

namespace {
class PortableRead : public testing::TestWithParam<const char*> {};

TEST_P(PortableRead, ReadsAsTheStandardLibrary) {
    const std::string text = GetParam();
    double expected = -7, got = -7;
    const std::from_chars_result want = std::from_chars(text.data(), text.data() + text.size(), expected);
    const std::from_chars_result have = PortableReadDouble(text.data(), text.data() + text.size(), got);
    EXPECT_EQ(have.ptr - text.data(), want.ptr - text.data());
    EXPECT_EQ(have.ec, want.ec);
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(got));
    else
        EXPECT_EQ(got, expected);  // untouched (-7) on an error, as the standard's
}

INSTANTIATE_TEST_SUITE_P(Texts, PortableRead,
                         testing::Values("35.6812362", "-139.7671248", "0", "-0", "1e5", "1E-5", "2.5e+3x", "1e", "1e+",
                                         ".5", "5.", "-.5", "+1", " 1", "", "-", ".", "x1", "1.2.3", "12,5", "inf",
                                         "-Infinity", "INFx", "nan", "NaN(1)", "in", "1e400", "-1e400", "1e-400",
                                         "0.000000000000000000001", "123456789012345678901234567890", "0x10",
                                         // about the exact quick path: 2^53 and past it, 10^22 and past it
                                         "9007199254740992", "9007199254740993", "900719925474099.3", "1e22",
                                         "1e23", "4.35e-22", "4.35e-23", "-0.0", "24.0010001", "139.7671248e-5",
                                         "0.1", "1.7976931348623157e308", "2.2250738585072014e-308", "1e-0400"));

// ReadDouble (the quick path for plain decimals, the library for the rest) against from_chars:
// random signs, digits, points, exponents and what follows, bit for bit, with the same end.
TEST(ReadDouble, ReadsAsTheStandardLibrary) {
    std::mt19937 random(53);
    const char* const tails[] = {"", "x", ".", "e", "e5", "E-3", "-", "<", " ", "0"};
    for (int i = 0; i < 200000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        for (auto n = random() % 20; n > 0; --n) text += static_cast<char>('0' + random() % 10);
        if (random() % 3 != 0) text += '.';
        for (auto n = random() % 25; n > 0; --n) text += static_cast<char>('0' + random() % 10);
        text += tails[random() % std::size(tails)];
        double expected = -7, got = -7;
        const std::from_chars_result want = std::from_chars(text.data(), text.data() + text.size(), expected);
        const std::from_chars_result have = ReadDouble(text.data(), text.data() + text.size(), got);
        ASSERT_EQ(have.ptr - text.data(), want.ptr - text.data()) << text;
        ASSERT_EQ(have.ec, want.ec) << text;
        ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;  // -0 and 0 apart
    }
}

class PortableWrite : public testing::TestWithParam<double> {};

TEST_P(PortableWrite, WritesAsTheStandardLibrary) {
    char want[64], have[64];
    const std::to_chars_result expected = std::to_chars(want, want + sizeof want, GetParam());
    const std::to_chars_result got = PortableWriteDouble(have, have + sizeof have, GetParam());
    ASSERT_EQ(got.ec, std::errc());
    EXPECT_EQ(std::string(have, got.ptr), std::string(want, expected.ptr));
}

INSTANTIATE_TEST_SUITE_P(Values, PortableWrite,
                         testing::Values(0.0, -0.0, 1.0, 35.6812362, -139.7671248, 0.1, 1e-7, 1.5e-5, 123456789.0,
                                         1e21, 1e22, 12345678901234567890.0, 5e-324, 1.7976931348623157e308,
                                         0.30000000000000004, 100.0, 1e5, 1e16, 1e17, HUGE_VAL, -HUGE_VAL));

// The coordinates' text: printf's bytes, halves (0.00390625 is one exactly) to even.
class FixedWrite : public testing::TestWithParam<std::pair<double, int>> {};

TEST_P(FixedWrite, WritesAsPrintf) {
    const auto [value, precision] = GetParam();
    char want[400], have[400];
    std::snprintf(want, sizeof want, "%.*f", precision, value);
    const std::to_chars_result got = WriteFixed(have, have + sizeof have, value, precision);
    ASSERT_EQ(got.ec, std::errc());
    EXPECT_EQ(std::string(have, got.ptr), want);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FixedWrite,
    testing::Values(std::pair(0.0, 7), std::pair(-0.0, 7), std::pair(35.6812362, 7), std::pair(-139.7671248, 7),
                    std::pair(0.00390625, 7), std::pair(0.01171875, 7), std::pair(-0.00390625, 7), std::pair(2.5, 0),
                    std::pair(3.5, 0), std::pair(0.5, 0), std::pair(1.00000005, 7), std::pair(179.99999995, 7),
                    std::pair(-89.99999999, 7), std::pair(1e-8, 7), std::pair(-4e-8, 7), std::pair(5e-324, 7),
                    std::pair(123456789.123456789, 7), std::pair(1e21, 7), std::pair(1.7976931348623157e308, 7),
                    std::pair(0.1 + 0.2, 7), std::pair(139.76712484999999, 7), std::pair(35.12345675, 7),
                    std::pair(0.3333333333333333, 12), std::pair(2.0 / 3.0, 3)));

// Every coordinate of a 0.0001-degree lattice and its neighbours written as printf does.
TEST(FixedWrite, WritesALatticeAsPrintf) {
    char want[64], have[64];
    for (int i = -1800000; i <= 1800000; i += 7) {
        for (const double value : {i / 10000.0, std::nextafter(i / 10000.0, 1e9), i * 1e-7 + 35.0}) {
            std::snprintf(want, sizeof want, "%.7f", value);
            const std::to_chars_result got = WriteFixed(have, have + sizeof have, value, 7);
            ASSERT_EQ(std::string(have, got.ptr), want) << value;
        }
    }
}

// Doubles of every binary exponent below 1e9, each precision to 9: the integer path's range.
TEST(FixedWrite, WritesRandomDoublesAsPrintf) {
    std::mt19937_64 random(32);
    char want[64], have[64];
    for (int i = 0; i < 300000; ++i) {
        const std::uint64_t bits = (random() & ~(std::uint64_t{0x7FF} << 52)) | std::uint64_t{random() % 1054} << 52;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        const int precision = static_cast<int>(random() % 10);
        std::snprintf(want, sizeof want, "%.*f", precision, value);
        const std::to_chars_result got = WriteFixed(have, have + sizeof have, value, precision);
        ASSERT_EQ(std::string(have, got.ptr), want) << value << " " << precision;
    }
}

TEST(PortableWrite, RefusesABufferTooShortAndLeavesItAlone) {
    char buffer[4];
    std::memcpy(buffer, "abcd", 4);
    const std::to_chars_result got = PortableWriteDouble(buffer, buffer + sizeof buffer, 35.68);
    EXPECT_EQ(got.ec, std::errc::value_too_large);
    EXPECT_EQ(got.ptr, buffer + sizeof buffer);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
}
}  // namespace
