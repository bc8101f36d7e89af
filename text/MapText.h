#pragma once
// Small text rules shared by the map readers and the reading guesser (UTF-8 throughout; its
// decoding is text/Utf8.h's).
#include <cstddef>
#include <string>
#include <string_view>

#include "text/Utf8.h"

// The text with each byte that is not valid UTF-8 made U+FFFD.
std::string ValidUtf8(std::string text);

// Runs of blank space (space, tab, CR, LF) become one space; none at either end.
std::string CollapseSpace(std::string_view text);
void CollapseSpaceInPlace(std::string& text);
// The digits of a phone number written with - ( ) + and spaces; empty unless only those occur.
std::string PhoneDigits(std::string_view text);
// 81235 as "81,235": counts of a large input are read at a glance.
std::string Thousands(std::size_t count);
