#include "maps/MapText.h"

namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

bool IsKana(char32_t c) {
    return (c >= 0x3041 && c <= 0x309F)     // hiragana with the sound marks
           || (c >= 0x30A1 && c <= 0x30FA)  // katakana
           || c == 0x30FC || c == 0x30FD || c == 0x30FE || (c >= 0xFF66 && c <= 0xFF9F);
}
}  // namespace

char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07u, least = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + length > text.size()) {
        ++i;
        return kReplacement;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0u) != 0x80) {
            ++i;
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return value;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t FirstInvalidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t at = i;
        // A U+FFFD written in the text is valid; one made by the decoder takes a single byte.
        if (NextCodePoint(text, i) == kReplacement && i == at + 1) return at;
    }
    return std::string_view::npos;
}

std::string ValidUtf8(std::string text) {
    if (FirstInvalidUtf8(text) == std::string_view::npos) return text;
    std::string out;
    for (std::size_t i = 0; i < text.size();) AppendUtf8(out, NextCodePoint(text, i));
    return out;
}

namespace {
// Most names need no change: found in one pass without building a new string.
bool IsCollapsed(std::string_view text) {
    if (text.empty()) return true;
    if (text.front() == ' ' || text.back() == ' ') return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\t' || ch == '\r' || ch == '\n' || (ch == ' ' && text[i + 1] == ' ')) return false;
    }
    return true;
}
}  // namespace

std::string CollapseSpace(std::string_view text) {
    if (IsCollapsed(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (const char ch : text) {
        if (IsBlank(ch)) {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) out += ' ';
        pendingSpace = false;
        out += ch;
    }
    return out;
}

void CollapseSpaceInPlace(std::string& text) {
    if (!IsCollapsed(text)) text = CollapseSpace(text);
}

bool LooksLikeReading(std::string_view text) {
    bool kana = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char32_t c = NextCodePoint(text, i);
        if (IsKana(c)) {
            kana = true;
        } else if (c != 0x30FB && c != 0xFF65 && c != 0x3000 && c != ' ') {
            return false;
        }
    }
    return kana;
}

std::string PhoneDigits(std::string_view text) {
    std::string digits;
    for (const char ch : text) {
        if (ch >= '0' && ch <= '9') {
            digits += ch;
        } else if (ch != '-' && ch != '(' && ch != ')' && ch != '+' && !IsBlank(ch)) {
            return {};
        }
    }
    return digits;
}
