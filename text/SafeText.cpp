#include "text/SafeText.h"

#include <algorithm>
#include <cstdio>

#include "text/MapText.h"

namespace {
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
bool IsBlankControl(char32_t c) { return c == '\t' || c == '\r' || c == '\n'; }
// The marks that reorder text shown after them: "invoice\u202Eslx.xml" shows as "invoicelmx.xls".
bool IsBidiControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void Note(std::vector<char32_t>& found, char32_t c) {
    if (!IsBlankControl(c) && std::find(found.begin(), found.end(), c) == found.end()) found.push_back(c);
}

std::string CodePointName(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}
}  // namespace

std::vector<char32_t> ReplaceControlCharacters(std::string& utf8) {
    std::vector<char32_t> found;
    std::string out;
    std::size_t copied = 0;  // utf8[0..copied) is in out already
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        const auto byte = static_cast<unsigned char>(utf8[i]);
        // Most text has none: only bytes below 0x20, 0x7F and the lead byte of U+0080-U+009F matter.
        if (byte >= 0x20 && byte != 0x7F && byte != 0xC2) {
            ++i;
            continue;
        }
        const char32_t c = NextCodePoint(utf8, i);
        if (!IsControl(c) || IsBlankControl(c)) continue;
        Note(found, c);
        if (copied == 0) out.reserve(utf8.size());
        out.append(utf8, copied, start - copied);
        out += ' ';
        copied = i;
    }
    if (!found.empty()) {
        out.append(utf8, copied, std::string::npos);
        utf8.swap(out);
    }
    return found;
}

std::vector<char32_t> ReplaceRecordControlCharacters(std::string& cp932) {
    std::vector<char32_t> found;
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const auto byte = static_cast<unsigned char>(cp932[i]);
        // A lead byte and its trail byte (0x40 to 0xFC, not 0x7F) are one character; a lead byte
        // before anything else stands alone, so that a control byte after it is still found.
        const auto trail = i + 1 < cp932.size() ? static_cast<unsigned char>(cp932[i + 1]) : 0;
        if (((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) && trail >= 0x40 && trail <= 0xFC && trail != 0x7F) {
            ++i;
            continue;
        }
        if (byte < 0x20 || byte == 0x7F) {
            Note(found, byte);
            cp932[i] = ' ';
        }
    }
    return found;
}

std::string CodePointNames(const std::vector<char32_t>& codePoints) {
    std::string names;
    for (const char32_t c : codePoints) names += (names.empty() ? "" : ", ") + CodePointName(c);
    return names;
}

void AppendExcerpt(std::string& out, std::string_view utf8, std::size_t maxCharacters) {
    // Short and without a byte that may start a control or bidi mark (below 0x20, 0x7F; C2 for
    // U+0080-U+009F, D8 for U+061C, E2 for the marks at U+200E-U+2069): shown as it is. A large
    // input's messages name a place each.
    if (utf8.size() <= maxCharacters &&
        std::none_of(utf8.begin(), utf8.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7F || byte == 0xC2 || byte == 0xD8 || byte == 0xE2;
        })) {
        out.append(utf8);
        return;
    }
    std::size_t count = 0;
    std::size_t plain = 0;  // utf8[plain..i) is shown as it is and not yet in out
    for (std::size_t i = 0; i < utf8.size();) {
        if (count++ == maxCharacters) {
            out.append(utf8.substr(plain, i - plain)).append("…");
            return;
        }
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 0x20 && byte < 0x7F) {  // printable ASCII, most of any text: one byte, shown
            ++i;
            continue;
        }
        const std::size_t start = i;
        const char32_t c = NextCodePoint(utf8, i);
        if (IsControl(c) || IsBidiControl(c)) {
            out.append(utf8.substr(plain, start - plain));
            out += CodePointName(c);
            plain = i;
        }
    }
    out.append(utf8.substr(plain));
}

std::string Excerpt(std::string_view utf8, std::size_t maxCharacters) {
    std::string out;
    AppendExcerpt(out, utf8, maxCharacters);
    return out;
}
