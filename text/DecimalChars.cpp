#include "text/DecimalChars.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 16000
#define QUORVEL_PORTABLE_DOUBLE_CHARS 1
#endif

namespace {
const char* PlainDecimal(const char* first, const char* last, double& value);
}  // namespace

std::from_chars_result ReadDouble(const char* first, const char* last, double& value) {
#ifdef QUORVEL_PORTABLE_DOUBLE_CHARS
    return PortableReadDouble(first, last, value);
#else
    // Coordinates are nearly all plain decimals, which the exact quick path reads with two thirds
    // of the library's instructions.
    if (const char* end = PlainDecimal(first, last, value)) return {end, std::errc()};
    return std::from_chars(first, last, value);
#endif
}

std::to_chars_result WriteDouble(char* first, char* last, double value) {
#ifdef QUORVEL_PORTABLE_DOUBLE_CHARS
    return PortableWriteDouble(first, last, value);
#else
    return std::to_chars(first, last, value);
#endif
}

namespace {
// The powers of ten that are exact doubles.
constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A text that starts with "-"?, digits, and "." and digits or nothing, followed by no exponent,
// of 19 digits at most (no overflow, a scale among the exact powers) making a whole number up to
// 2^53: Clinger's exact case in one pass (one exact value over another, which IEEE arithmetic
// rounds once, correctly). Where it ends, or null (value untouched) for anything else. The
// library's reading costs more natively, and the page's strtod (musl's, over software long
// doubles in WebAssembly) took a quarter of a 100,000-waypoint conversion.
const char* PlainDecimal(const char* first, const char* last, double& value) {
    const char* p = first < last && *first == '-' ? first + 1 : first;
    const char* const digits = p;
    std::uint64_t whole = 0;
    for (; p < last && static_cast<unsigned>(*p - '0') < 10; ++p) whole = whole * 10 + static_cast<unsigned>(*p - '0');
    const std::size_t wholeDigits = static_cast<std::size_t>(p - digits);
    if (wholeDigits == 0) return nullptr;
    std::size_t decimals = 0;
    if (p < last && *p == '.') {
        const char* const fraction = ++p;
        for (; p < last && static_cast<unsigned>(*p - '0') < 10; ++p) whole = whole * 10 + static_cast<unsigned>(*p - '0');
        decimals = static_cast<std::size_t>(p - fraction);
    }
    if ((p < last && (*p == 'e' || *p == 'E')) || wholeDigits + decimals > 19 || whole > std::uint64_t{1} << 53) return nullptr;
    const double exact = static_cast<double>(whole) / kPowers[decimals];
    value = digits > first ? -exact : exact;
    return p;
}
}  // namespace

#ifdef __SIZEOF_INT128__
namespace {
__extension__ typedef unsigned __int128 Unsigned128;  // GCC's and clang's, on 64-bit targets and wasm

// value with precision decimals for |value| < 1e9 and precision up to 9, from the double's exact
// binary value in integers: value = m * 2^e, so value * 10^p = m * 5^p * 2^(e + p), rounded half
// to even as printf rounds. Null when the value is outside that range (the general path takes it).
char* SmallFixed(char* first, char* last, double value, int precision) {
    if (!(std::fabs(value) < 1e9) || precision < 0 || precision > 9) return nullptr;
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 52 & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t m = biased == 0 ? fraction : fraction | std::uint64_t{1} << 52;
    const int e = (biased == 0 ? 1 : biased) - 1075;
    std::uint64_t pow5 = 1, pow10 = 1;
    for (int k = 0; k < precision; ++k) {
        pow5 *= 5;
        pow10 *= 10;
    }
    const Unsigned128 product = static_cast<Unsigned128>(m) * pow5;  // below 2^74
    const int shift = -(e + precision);
    std::uint64_t scaled;  // value * 10^p rounded: below 1e18
    if (shift <= 0) {
        scaled = static_cast<std::uint64_t>(product << -shift);
    } else if (shift >= 100) {
        scaled = 0;  // far below half a unit of the last decimal
    } else {
        const Unsigned128 one = 1;
        const Unsigned128 rest = product & ((one << shift) - 1), half = one << (shift - 1);
        scaled = static_cast<std::uint64_t>(product >> shift);
        if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
    }
    char digits[24];
    char* end = digits + sizeof digits;
    char* at = end;
    std::uint64_t decimals = scaled % pow10, whole = scaled / pow10;
    for (int k = 0; k < precision; ++k, decimals /= 10) *--at = static_cast<char>('0' + decimals % 10);
    if (precision > 0) *--at = '.';
    do {
        *--at = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    if (std::signbit(value)) *--at = '-';
    const std::size_t length = static_cast<std::size_t>(end - at);
    if (static_cast<std::size_t>(last - first) < length) return nullptr;
    std::memcpy(first, at, length);
    return first + length;
}
}  // namespace
#endif

std::to_chars_result WriteFixed(char* first, char* last, double value, int precision) {
#ifdef __SIZEOF_INT128__
    if (char* end = SmallFixed(first, last, value, precision)) return {end, std::errc()};
#endif
#ifdef QUORVEL_PORTABLE_DOUBLE_CHARS
    char text[400];  // %.7f of the largest double is 317 bytes
    const int length = std::snprintf(text, sizeof text, "%.*f", precision, value);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof text || last - first < length)
        return {last, std::errc::value_too_large};
    std::memcpy(first, text, static_cast<std::size_t>(length));
    return {first + length, std::errc()};
#else
    return std::to_chars(first, last, value, std::chars_format::fixed, precision);
#endif
}

std::from_chars_result PortableReadDouble(const char* first, const char* last, double& value) {
    if (const char* end = PlainDecimal(first, last, value)) return {end, std::errc()};
    const char* p = first;
    if (p < last && *p == '-') ++p;
    const char* digits = p;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    while (p < last && isDigit(*p)) ++p;
    const char* wholeEnd = p;
    if (p < last && *p == '.') {
        ++p;
        while (p < last && isDigit(*p)) ++p;
    }
    if (wholeEnd == digits && p - digits <= 1) {
        // No digit: only "inf", "infinity" and "nan" remain, any letter case.
        const std::string rest(digits, last);
        for (const char* word : {"infinity", "inf", "nan"}) {
            const std::size_t n = std::strlen(word);
            bool same = rest.size() >= n;
            for (std::size_t k = 0; same && k < n; ++k) same = (rest[k] | 0x20) == word[k];
            if (same) {
                const char* end = digits + n;
                // "nan(chars)": letters, digits and underscores in brackets belong to it.
                if (word[0] == 'n' && end < last && *end == '(') {
                    const char* close = end + 1;
                    while (close < last && (std::isalnum(static_cast<unsigned char>(*close)) || *close == '_')) ++close;
                    if (close < last && *close == ')') end = close + 1;
                }
                value = word[0] == 'n' ? std::nan("") : (first < digits ? -HUGE_VAL : HUGE_VAL);
                return {end, std::errc()};
            }
        }
        return {first, std::errc::invalid_argument};
    }
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e < last && (*e == '+' || *e == '-')) ++e;
        if (e < last && isDigit(*e)) {
            while (e < last && isDigit(*e)) ++e;
            p = e;
        }
    }
    // strtod needs an ended text; what it may read is copied, never the caller's bytes past last.
    const std::string text(first, p);
    errno = 0;
    const double parsed = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE) return {p, std::errc::result_out_of_range};
    value = parsed;
    return {p, std::errc()};
}

std::to_chars_result PortableWriteDouble(char* first, char* last, double value) {
    std::string chosen;
    if (std::isnan(value) || std::isinf(value)) {
        chosen = std::string(std::signbit(value) ? "-" : "") + (std::isnan(value) ? "nan" : "inf");
    } else {
        // The fewest significant digits that read back as the value, as d.ddde+X.
        char sci[40];
        int precision = 1;
        for (; precision <= 17; ++precision) {
            std::snprintf(sci, sizeof sci, "%.*e", precision - 1, value);
            if (std::strtod(sci, nullptr) == value) break;
        }
        const char* mark = std::strchr(sci, 'e');
        const int exponent = std::atoi(mark + 1);
        std::string mantissa;
        for (const char* c = sci; c < mark; ++c)
            if (*c >= '0' && *c <= '9') mantissa += *c;
        while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
        const std::string sign = std::signbit(value) ? "-" : "";
        std::string scientific = sign + mantissa.substr(0, 1) + (mantissa.size() > 1 ? "." + mantissa.substr(1) : "");
        char exponentText[16];
        std::snprintf(exponentText, sizeof exponentText, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        scientific += exponentText;
        std::string fixed;
        const int digits = static_cast<int>(mantissa.size());
        if (exponent >= digits - 1) {
            // A whole number is written with every digit of its exact value, as printf's %.0f.
            char whole[400];
            std::snprintf(whole, sizeof whole, "%.0f", std::fabs(value));
            fixed = whole;
        } else if (exponent >= 0) {
            fixed = mantissa.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
                    mantissa.substr(static_cast<std::size_t>(exponent) + 1);
        } else {
            fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa;
        }
        fixed = sign + fixed;
        chosen = fixed.size() <= scientific.size() ? fixed : scientific;
    }
    if (static_cast<std::size_t>(last - first) < chosen.size()) return {last, std::errc::value_too_large};
    std::memcpy(first, chosen.data(), chosen.size());
    return {first + chosen.size(), std::errc()};
}
