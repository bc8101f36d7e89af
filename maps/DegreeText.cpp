#include "maps/DegreeText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {
// Marks after a number, UTF-8: which part it ends.
enum Part { kDegrees, kMinutes, kSeconds, kNone };

const struct {
    std::string_view mark;
    Part part;
} kMarks[] = {
    {"\xC2\xB0", kDegrees}, {"\xC2\xBA", kDegrees}, {"\xCB\x9A", kDegrees}, {"度", kDegrees},
    {"''", kSeconds},       {"'", kMinutes},        {"\xE2\x80\xB2", kMinutes}, {"\xE2\x80\x99", kMinutes},
    {"分", kMinutes},       {"\"", kSeconds},       {"\xE2\x80\xB3", kSeconds}, {"\xE2\x80\x9D", kSeconds},
    {"秒", kSeconds},
};

bool Consume(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

void TrimBlank(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
}

// An unsigned decimal number at the start of text, consumed.
bool Number(std::string_view& text, double& value, bool& fraction) {
    std::size_t length = 0;
    while (length < text.size() && ((text[length] >= '0' && text[length] <= '9') || text[length] == '.')) ++length;
    if (length == 0 || text[0] == '.') return false;
    const std::from_chars_result parsed = std::from_chars(text.data(), text.data() + length, value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + length) return false;
    fraction = text.substr(0, length).find('.') != std::string_view::npos;
    text.remove_prefix(length);
    return true;
}

bool Whole(std::string_view text, double& value) {
    const std::from_chars_result parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && text[0] != '-' && text[0] != '+' && parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() &&
           std::isfinite(value);
}

// "35.39.29.1": degrees, minutes, seconds and their fraction; "35.39.29" without the fraction.
bool Dotted(std::string_view text, double& degrees) {
    std::string_view parts[4];
    std::size_t count = 0;
    for (std::size_t at = 0; count < 4;) {
        const std::size_t dot = text.find('.', at);
        parts[count++] = text.substr(at, dot == std::string_view::npos ? std::string_view::npos : dot - at);
        if (dot == std::string_view::npos) break;
        at = dot + 1;
        if (count == 4) return false;
    }
    if (count < 3) return false;
    for (std::size_t k = 0; k < count; ++k)
        for (const char c : parts[k])
            if (c < '0' || c > '9' || parts[k].empty()) return false;
    double d = 0, m = 0, s = 0;
    if (parts[0].empty() || parts[1].size() > 2 || parts[2].size() > 2 || !Whole(parts[0], d) || !Whole(parts[1], m) ||
        !Whole(parts[2], s))
        return false;
    if (count == 4) {
        double fraction = 0;
        if (parts[3].empty() || !Whole(std::string("0.") + std::string(parts[3]), fraction)) return false;
        s += fraction;
    }
    if (m >= 60 || s >= 60) return false;
    degrees = d + m / 60 + s / 3600;
    return true;
}

// Degrees with marks: each number followed by its mark, in order; only the last may have a fraction.
bool Marked(std::string_view text, double& degrees) {
    double total = 0;
    int next = kDegrees;
    bool fractionSeen = false;
    while (true) {
        TrimBlank(text);
        if (text.empty()) break;
        double value = 0;
        bool fraction = false;
        if (fractionSeen || !Number(text, value, fraction)) return false;
        TrimBlank(text);
        Part part = kNone;
        for (const auto& mark : kMarks)
            if (Consume(text, mark.mark)) {
                part = mark.part;
                break;
            }
        // The last number may go without its mark: "35°39.485".
        if (part == kNone) part = text.empty() && next <= kSeconds ? static_cast<Part>(next) : kNone;
        if (part == kNone || part < next) return false;
        if (part != kDegrees && value >= 60) return false;
        total += part == kDegrees ? value : part == kMinutes ? value / 60 : value / 3600;
        next = part + 1;
        fractionSeen = fraction;
    }
    if (next == kDegrees) return false;
    degrees = total;
    return true;
}
}  // namespace

bool ParseDegreeCell(std::string_view text, bool latitude, bool decimalComma, double& degrees) {
    TrimBlank(text);
    // A hemisphere before or after: a letter or the Japanese words.
    const char positive = latitude ? 'N' : 'E', negative = latitude ? 'S' : 'W';
    const std::string_view positiveWord = latitude ? "北緯" : "東経", negativeWord = latitude ? "南緯" : "西経";
    int sign = 0;
    if (Consume(text, positiveWord)) sign = 1;
    else if (Consume(text, negativeWord)) sign = -1;
    const auto letter = [&](char c) { return c == positive || c == positive + 32 ? 1 : c == negative || c == negative + 32 ? -1 : 0; };
    if (sign == 0 && !text.empty() && letter(text.front())) {
        sign = letter(text.front());
        text.remove_prefix(1);
    } else if (sign == 0 && !text.empty() && letter(text.back())) {
        sign = letter(text.back());
        text.remove_suffix(1);
    }
    TrimBlank(text);
    bool negated = false;
    if (sign == 0 && !text.empty() && (text.front() == '-' || text.front() == '+')) {
        negated = text.front() == '-';
        text.remove_prefix(1);
    }
    std::string number(text);
    if (decimalComma && number.find('.') == std::string::npos && number.find(',') != std::string::npos &&
        number.find(',') == number.rfind(','))
        number[number.find(',')] = '.';
    double value = 0;
    if (!Whole(number, value) && !Dotted(number, value) && !Marked(number, value)) return false;
    degrees = (sign < 0 || negated) ? -value : value;
    return true;
}
