#pragma once
// Small text rules shared by the map readers and the reading guesser (UTF-8 throughout).
#include <cstddef>
#include <string>
#include <string_view>

// The code point at text[i], advancing i past it; U+FFFD (one byte consumed) for invalid UTF-8.
char32_t NextCodePoint(std::string_view text, std::size_t& i);
void AppendUtf8(std::string& out, char32_t codePoint);
// The offset of the first byte that is not valid UTF-8, or npos.
std::size_t FirstInvalidUtf8(std::string_view text);
// The text with each byte that is not valid UTF-8 made U+FFFD.
std::string ValidUtf8(std::string text);

// Runs of blank space (space, tab, CR, LF) become one space; none at either end.
std::string CollapseSpace(std::string_view text);
void CollapseSpaceInPlace(std::string& text);
// Hiragana, katakana (full and half width), the long-vowel mark, the middle dot and spaces,
// with at least one kana: the form a reading takes.
bool LooksLikeReading(std::string_view text);
// The digits of a phone number written with - ( ) + and spaces; empty unless only those occur.
std::string PhoneDigits(std::string_view text);
