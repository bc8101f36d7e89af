#pragma once
// UTF-8, the host's text: the one decoder every reader of it uses.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// One character of UTF-8 text. Invalid UTF-8 (a stray continuation byte, a lead byte without
// its continuation bytes, an overlong form, a surrogate, a value beyond U+10FFFF) is U+FFFD
// of one byte with valid false, so that decoding goes on at the next byte.
struct Utf8Char {
    char32_t codePoint;
    std::size_t length;
    bool valid;
};
// The characters whose bytes alone make them valid, decoded inline: ASCII, U+0080-U+07FF, and the
// three-byte ones whose lead admits no overlong form or surrogate (kana and kanji among them).
// False for any other, which DecodeOtherUtf8 takes. Loops over names and records decode every
// character, so this part is inline in each.
inline bool DecodeCommonUtf8(std::string_view text, std::size_t at, Utf8Char& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        c = {lead, 1, true};
        return true;
    }
    const std::size_t left = text.size() - at;
    const auto second = left >= 2 ? static_cast<unsigned char>(text[at + 1]) : 0u;
    if (lead >= 0xC2 && lead <= 0xDF && (second & 0xC0u) == 0x80) {
        c = {(lead & 0x1Fu) << 6 | (second & 0x3Fu), 2, true};
        return true;
    }
    if (((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) && left >= 3 && (second & 0xC0u) == 0x80) {
        const auto third = static_cast<unsigned char>(text[at + 2]);
        if ((third & 0xC0u) != 0x80) return false;
        c = {(lead & 0x0Fu) << 12 | (second & 0x3Fu) << 6 | (third & 0x3Fu), 3, true};
        return true;
    }
    return false;
}
Utf8Char DecodeOtherUtf8(std::string_view text, std::size_t at);

inline Utf8Char DecodeUtf8(std::string_view text, std::size_t at) {
    Utf8Char c;
    return DecodeCommonUtf8(text, at, c) ? c : DecodeOtherUtf8(text, at);
}

// The byte count of the valid character at text[at]; 0 where invalid UTF-8 starts. The check of
// the well-formed byte sequences alone, for loops that step over characters without their values.
inline std::size_t ValidUtf8Length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    // First the three-byte characters whose lead admits no overlong form or surrogate (E1-EC,
    // EE, EF: kana and kanji among them), their two continuation bytes tested at once.
    if (lead - 0xE1u <= 0xEFu - 0xE1u && lead != 0xED && text.size() - at >= 3) {
        std::uint16_t next;
        std::memcpy(&next, text.data() + at + 1, sizeof next);
        return (next & 0xC0C0u) == 0x8080u ? 3 : 0;
    }
    const Utf8Char c = DecodeUtf8(text, at);
    return c.valid ? c.length : 0;
}

// The code point at text[i], advancing i past it; U+FFFD (one byte consumed) for invalid UTF-8.
inline char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const Utf8Char c = DecodeUtf8(text, i);
    i += c.length;
    return c.codePoint;
}
void AppendUtf8(std::string& out, char32_t codePoint);
// The offset of the first byte that is not valid UTF-8, or npos.
std::size_t FirstInvalidUtf8(std::string_view text);
// The bytes of the first count characters, as NextCodePoint steps over them (a byte of invalid
// UTF-8 counts as a character).
std::size_t Utf8PrefixLength(std::string_view text, std::size_t count);

// The byte count the lead byte at text[at] announces, when that many bytes follow as
// continuation bytes, whether or not they make a valid character; 0 otherwise. It names the
// piece of text that an invalid character occupies.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// The offset nearest at (at or before it) where a character may start: not on a continuation byte.
std::size_t Utf8BoundaryAtOrBefore(std::string_view text, std::size_t at);
