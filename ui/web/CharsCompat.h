#pragma once
// std::from_chars and std::to_chars for double, which the C++ library of Debian's emscripten
// (libc++ 14) lacks; the core uses them to read map coordinates and to print a coordinate in a
// message. Included into every file of the web build only (see CMakeLists.txt), with the
// standard's behaviour: the "C" locale's form, no leading "+" or blank on reading, the shortest
// text that reads back the same on writing, fixed or scientific, whichever is shorter.
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 16000
namespace std {
inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format = chars_format::general) {
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
            if (rest.size() >= n && strncasecmp(rest.c_str(), word, n) == 0) {
                value = word[0] == 'n' ? std::nan("") : (first < digits ? -HUGE_VAL : HUGE_VAL);
                return {digits + n, errc()};
            }
        }
        return {first, errc::invalid_argument};
    }
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e < last && (*e == '+' || *e == '-')) ++e;
        if (e < last && isDigit(*e)) {
            while (e < last && isDigit(*e)) ++e;
            p = e;
        }
    }
    const std::string text(first, p);
    errno = 0;
    const double parsed = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE) return {p, errc::result_out_of_range};
    value = parsed;
    return {p, errc()};
}

inline to_chars_result to_chars(char* first, char* last, double value) {
    char text[64];
    if (std::isnan(value) || std::isinf(value)) {
        std::snprintf(text, sizeof text, "%s%s", std::signbit(value) ? "-" : "", std::isnan(value) ? "nan" : "inf");
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
        char exponentText[8];
        std::snprintf(exponentText, sizeof exponentText, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        scientific += exponentText;
        std::string fixed;
        const int digits = static_cast<int>(mantissa.size());
        if (exponent >= digits - 1) {
            fixed = mantissa + std::string(static_cast<std::size_t>(exponent - (digits - 1)), '0');
        } else if (exponent >= 0) {
            fixed = mantissa.substr(0, static_cast<std::size_t>(exponent) + 1) + "." + mantissa.substr(static_cast<std::size_t>(exponent) + 1);
        } else {
            fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa;
        }
        fixed = sign + fixed;
        const std::string& chosen = fixed.size() <= scientific.size() ? fixed : scientific;
        std::snprintf(text, sizeof text, "%s", chosen.c_str());
    }
    const std::size_t length = std::strlen(text);
    if (static_cast<std::size_t>(last - first) < length) return {last, errc::value_too_large};
    std::memcpy(first, text, length);
    return {first + length, errc()};
}
}  // namespace std
#endif
