#pragma once
// An exact reference for the coordinate conversion of the store's DMS text, independent of the
// product's code: the fields are read by position, the double x = total * k is taken apart into
// mantissa and exponent, floor(x * 10^24) is formed exactly in 128-bit integers, and both
// roundings are done on those decimal digits. Header-only so tests and tools share it unbuilt.
#include <cstdint>
#include <cstring>
#include <string>

namespace dmsref {

__extension__ typedef unsigned __int128 u128;  // GCC and clang; the check runs on the build host

inline u128 Pow10(int n) {
    u128 value = 1;
    for (int i = 0; i < n; ++i) value *= 10u;
    return value;
}

// Thousandths of an arc-second of 13-character DMS text " DD.MM.SS.TTT" / "DDD.MM.SS.TTT".
inline std::uint32_t TotalOf(const char* text) {
    auto digit = [&](int i) { return static_cast<std::uint32_t>(text[i] == ' ' ? 0 : text[i] - '0'); };
    const std::uint32_t degrees = digit(0) * 100 + digit(1) * 10 + digit(2);
    const std::uint32_t minutes = digit(4) * 10 + digit(5);
    const std::uint32_t seconds = digit(7) * 10 + digit(8);
    const std::uint32_t thousandths = digit(10) * 100 + digit(11) * 10 + digit(12);
    return ((degrees * 60 + minutes) * 60 + seconds) * 1000 + thousandths;
}

struct Rounded {
    std::uint64_t twoStage;  // hundred-thousandths: 17 significant digits first, then five decimals
    std::uint64_t once;      // hundred-thousandths: x rounded once, correctly
};

// x positive and below 2^68 / 10^24 (about 295); 0 gives 0.
inline Rounded RoundExactly(double x) {
    if (x == 0.0) return {0, 0};
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1075 - biased;  // x = mantissa / 2^shift, shift > 24 here
    // floor(x * 10^24) = floor(mantissa * 5^24 / 2^(shift - 24)); 5^24 < 2^56, so 109 bits.
    u128 five24 = 1;
    for (int i = 0; i < 24; ++i) five24 *= 5u;
    const u128 scaled = static_cast<u128>(mantissa) * five24;
    const u128 d = scaled >> (shift - 24);

    int length = 0;
    for (u128 rest = d; rest != 0; rest /= 10u) ++length;
    // Stage one: 17 significant digits, half up on the 18th (ties cannot occur: x is dyadic).
    u128 seventeen = d;
    if (length > 17) {
        const u128 unit = Pow10(length - 17);
        const bool up = (d / (unit / 10u)) % 10u >= 5u;
        seventeen = (d / unit + (up ? 1u : 0u)) * unit;
    }
    // Stage two: half up at the fifth decimal of that string; x * 10^24 has 24 decimals.
    const u128 fifth = Pow10(19);
    const std::uint64_t twoStage = static_cast<std::uint64_t>(seventeen / fifth + ((seventeen / Pow10(18)) % 10u >= 5u ? 1u : 0u));
    const std::uint64_t once = static_cast<std::uint64_t>(d / fifth + ((d / Pow10(18)) % 10u >= 5u ? 1u : 0u));
    return {twoStage, once};
}

inline Rounded RoundTotal(std::uint32_t total) {
    return RoundExactly(static_cast<double>(total) * 2.7777777777777776e-7);
}

// Degree text of hundred-thousandths: no digit before the point when the whole part is 0.
inline std::string DegreeText(std::uint64_t value) {
    std::string decimals = std::to_string(value % 100000);
    decimals.insert(0, 5 - decimals.size(), '0');
    const std::uint64_t whole = value / 100000;
    return (whole == 0 ? std::string() : std::to_string(whole)) + "." + decimals;
}

}  // namespace dmsref
