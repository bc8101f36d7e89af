#pragma once
// UTF-8, the host's text: the one decoder every reader of it uses.
#include <cstddef>
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
Utf8Char DecodeUtf8(std::string_view text, std::size_t at);

// The code point at text[i], advancing i past it; U+FFFD (one byte consumed) for invalid UTF-8.
char32_t NextCodePoint(std::string_view text, std::size_t& i);
void AppendUtf8(std::string& out, char32_t codePoint);
// The offset of the first byte that is not valid UTF-8, or npos.
std::size_t FirstInvalidUtf8(std::string_view text);

// The byte count the lead byte at text[at] announces, when that many bytes follow as
// continuation bytes, whether or not they make a valid character; 0 otherwise. It names the
// piece of text that an invalid character occupies.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// The offset nearest at (at or before it) where a character may start: not on a continuation byte.
std::size_t Utf8BoundaryAtOrBefore(std::string_view text, std::size_t at);
