#include "text/DegreeText.h"

#include <charconv>
#include <cmath>
#include <string>

#include "text/DecimalChars.h"

namespace {
// Marks after a number, UTF-8: which part it ends.
enum Part {
    kDegrees,
    kMinutes,
    kSeconds,
    kNone
};

const struct {
    std::string_view mark;
    Part part;
} kMarks[] = {
    {"\xC2\xB0", kDegrees},
    {"\xC2\xBA", kDegrees},
    {"\xCB\x9A", kDegrees},
    {"度", kDegrees},
    {"''", kSeconds},
    {"'", kMinutes},
    {"\xE2\x80\xB2", kMinutes},
    {"\xE2\x80\x99", kMinutes},
    {"分", kMinutes},
    {"\"", kSeconds},
    {"\xE2\x80\xB3", kSeconds},
    {"\xE2\x80\x9D", kSeconds},
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
    const std::from_chars_result parsed = ReadDouble(text.data(), text.data() + length, value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + length) return false;
    fraction = text.substr(0, length).find('.') != std::string_view::npos;
    text.remove_prefix(length);
    return true;
}

bool Whole(std::string_view text, double& value) {
    const std::from_chars_result parsed = ReadDouble(text.data(), text.data() + text.size(), value);
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
bool Marked(std::string_view text, bool hemisphere, double& degrees) {
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
        // The last number may go without its mark: "35°39.485"; so may a whole number before
        // another, blank between, where a hemisphere letter says the cell is an angle: "S0 08.040".
        if (part == kNone) part = text.empty() && next <= kSeconds ? static_cast<Part>(next) : kNone;
        if (part == kNone && hemisphere && !fraction && next < kSeconds && !text.empty() && text.front() >= '0' &&
            text.front() <= '9')
            part = static_cast<Part>(next);
        if (part == kNone || part < next) return false;
        if (part != kDegrees && value >= 60) return false;
        total += part == kDegrees ? value : part == kMinutes ? value / 60
                                                             : value / 3600;
        next = part + 1;
        fractionSeen = fraction;
    }
    if (next == kDegrees) return false;
    degrees = total;
    return true;
}
// Full-width digits, signs, letters and marks (U+FF01...U+FF5E) made ASCII, the ideographic space a
// space: a cell typed with a Japanese input method.
std::string HalfWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xEF && i + 2 < text.size()) {
            const auto b1 = static_cast<unsigned char>(text[i + 1]), b2 = static_cast<unsigned char>(text[i + 2]);
            const unsigned code = (0xFu << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
            if ((b1 == 0xBC || b1 == 0xBD) && code >= 0xFF01 && code <= 0xFF5E) {
                out += static_cast<char>(code - 0xFF01 + 0x21);
                i += 2;
                continue;
            }
        }
        if (c == 0xE3 && text.substr(i, 3) == "\xE3\x80\x80") {
            out += ' ';
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}
}  // namespace

bool ParseDegreeCell(std::string_view cell, bool latitude, bool decimalComma, double& degrees) {
    const std::string halfWidth = HalfWidth(cell);
    std::string_view text = halfWidth;
    TrimBlank(text);
    // A hemisphere before or after: a letter or the Japanese words.
    const char positive = latitude ? 'N' : 'E', negative = latitude ? 'S' : 'W';
    const std::string_view positiveWord = latitude ? "北緯" : "東経", negativeWord = latitude ? "南緯" : "西経";
    int sign = 0;
    if (Consume(text, positiveWord)) sign = 1;
    else if (Consume(text, negativeWord)) sign = -1;
    const auto letter = [&](char c) { return c == positive || c == positive + 32 ? 1 : c == negative || c == negative + 32 ? -1
                                                                                                                           : 0; };
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
    if (!Whole(number, value) && !Dotted(number, value) && !Marked(number, sign != 0, value)) return false;
    degrees = (sign < 0 || negated) ? -value : value;
    return true;
}

bool SplitCoordinatePair(std::string_view cell, std::string& latitude, std::string& longitude) {
    // Every split is tried: a long cell (no pair is) would cost its length squared.
    constexpr std::size_t kLongestPair = 256;
    if (cell.size() > kLongestPair) return false;
    const std::string text = HalfWidth(cell);
    const auto reads = [](const std::string& part, bool isLatitude) {
        double value = 0;
        return ParseDegreeCell(part, isLatitude, false, value) && std::fabs(value) <= (isLatitude ? 90 : 180);
    };
    const auto lettered = [](const std::string& part, const char* letters) {
        std::string_view trimmed = part;
        TrimBlank(trimmed);
        return !trimmed.empty() && (std::string_view(letters).find(trimmed.front()) != std::string_view::npos ||
                                    std::string_view(letters).find(trimmed.back()) != std::string_view::npos);
    };
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != ',' && text[at] != ';' && text[at] != ' ' && text[at] != '\t' && text[at] != '/') continue;
        std::string first = text.substr(0, at), second = text.substr(at + 1);
        std::string_view trimmed = second;
        TrimBlank(trimmed);
        if (!trimmed.empty() && (trimmed.front() == ',' || trimmed.front() == ';')) trimmed.remove_prefix(1);
        second = std::string(trimmed);
        if (first.find_first_not_of(" \t") == std::string::npos || second.empty()) continue;
        if (reads(first, true) && reads(second, false)) {
            latitude = first;
            longitude = second;
            return true;
        }
        if (lettered(first, "EWew") && lettered(second, "NSns") && reads(first, false) && reads(second, true)) {
            latitude = second;
            longitude = first;
            return true;
        }
    }
    return false;
}
