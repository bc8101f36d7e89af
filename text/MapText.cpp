#include "text/MapText.h"

namespace {
bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

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

std::string Thousands(std::size_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
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

std::string ValidUtf8(std::string text) {
    if (FirstInvalidUtf8(text) == std::string_view::npos) return text;
    std::string out;
    for (std::size_t i = 0; i < text.size();) AppendUtf8(out, NextCodePoint(text, i));
    return out;
}
