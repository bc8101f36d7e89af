#pragma once
// A double read from and written as decimal text the way std::from_chars and std::to_chars do:
// the "C" locale's form, no leading "+" or blank on reading, the shortest text that reads back the
// same on writing (fixed or scientific, whichever is shorter). The C++ library of Debian's
// emscripten (libc++ 14) has neither for double; there the portable forms below serve.
#include <charconv>

std::from_chars_result ReadDouble(const char* first, const char* last, double& value);
std::to_chars_result WriteDouble(char* first, char* last, double value);
// value with exactly precision decimals, the bytes of printf's "%.*f" (the exact value rounded,
// halves to even), without printf's cost: the coordinates of every map document go through it.
std::to_chars_result WriteFixed(char* first, char* last, double value, int precision);

// The forms made of the C library's strtod and snprintf; built everywhere so that they are
// tested against the standard library's where it has them.
std::from_chars_result PortableReadDouble(const char* first, const char* last, double& value);
std::to_chars_result PortableWriteDouble(char* first, char* last, double value);
