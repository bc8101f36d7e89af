#pragma once
// Plain references for the text primitives, written from the definitions (only the random texts'
// characters are written by AppendUtf8), and random texts made of the pieces that break them.
#include <cstddef>
#include <iterator>
#include <random>
#include <string>

#include "text/Utf8.h"

namespace textref {

// The length of the well-formed UTF-8 character at text[at], 0 where none starts: the value
// made from the bits, then refused when overlong, a surrogate or beyond U+10FFFF.
inline std::size_t ValidLength(const std::string& text, std::size_t at) {
    const unsigned lead = static_cast<unsigned char>(text[at]);
    const std::size_t n = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2
                                        : (lead >> 4) == 14  ? 3
                                        : (lead >> 3) == 30  ? 4
                                                             : 0;
    if (n == 0 || at + n > text.size()) return 0;
    char32_t value = n == 1 ? lead : lead & (0xFFu >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned byte = static_cast<unsigned char>(text[at + k]);
        if ((byte & 0xC0) != 0x80) return 0;
        value = value << 6 | (byte & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return n;
}

// Each character's bytes in turn: a valid character whole, anything else a byte at a time.
template <typename Visit>
void EachCharacter(const std::string& text, Visit visit) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = ValidLength(text, at);
        visit(text.substr(at, n == 0 ? 1 : n), n != 0);
        at += n == 0 ? 1 : n;
    }
}

// The bytes of the first count characters.
inline std::size_t PrefixLength(const std::string& text, std::size_t count) {
    std::size_t bytes = 0;
    EachCharacter(text, [&](const std::string& c, bool) { bytes += count > 0 ? (--count, c.size()) : 0; });
    return bytes;
}

// CP932 text of length bytes cut to room bytes by walking whole characters from the start.
inline std::size_t Cp932Cut(const std::string& cp932, std::size_t length, std::size_t room) {
    if (length <= room) return length;
    auto lead = [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
    std::size_t at = 0;
    while (at + (lead(static_cast<unsigned char>(cp932[at])) ? 2 : 1) <= room) at += lead(static_cast<unsigned char>(cp932[at])) ? 2 : 1;
    return at;
}

inline std::string Utf8(char32_t c) {
    std::string out;
    AppendUtf8(out, c);  // checked on its own, every scalar value read back
    return out;
}

// A text of count pieces: ASCII, NUL, characters of every length and edge, kana and the signs
// around them, and invalid UTF-8 of every shape (stray continuation bytes, lone and cut-off lead
// bytes, overlong forms, surrogates, beyond U+10FFFF).
inline std::string RandomText(std::mt19937& random, std::size_t count) {
    static const char* const kPieces[] = {
        "a", "Z", " ", "~", "\\", "\x7F", "\xC2\xA5", "\xC3\xA9", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF",
        "\xEE\x80\x80", "\xEF\xBF\xBD", "\xE2\x80\xBE", "\xE6\x9D\xB1", "\xE9\xAB\x99", "\xEF\xBD\xB1", "\xEF\xBE\x9E",
        "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xF3\xA0\x81\x81", "\x80", "\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF",
        "\xED\xA0\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xFE", "\xC2", "\xE3",
        "\xE3\x81", "\xE3\x84", "\xF0\x9F", "\xF0\x9F\x98"};
    std::uniform_int_distribution<std::size_t> kind(0, 3), piece(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<char32_t> kana(0x3000, 0x30FF), any(0, 0x10FFFF);
    std::string text;
    for (std::size_t k = 0; k < count; ++k) {
        switch (kind(random)) {
        case 0: text += kPieces[piece(random)]; break;
        case 1: text += Utf8(kana(random)); break;
        case 2: text += static_cast<char>(random() % 0x80); break;  // NUL among them
        default: {
            const char32_t c = any(random);
            text += c >= 0xD800 && c <= 0xDFFF ? "\xED\xB0\x80" : Utf8(c);
        }
        }
    }
    return text;
}
}  // namespace textref
