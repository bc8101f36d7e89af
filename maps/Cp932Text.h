#pragma once
// Record text (CP932 bytes) to and from UTF-8, with glibc iconv's "CP932" (which knows the
// vendor characters that "SHIFT_JIS" refuses).
#include <string>
#include <vector>

// Each byte sequence that is no CP932 character becomes U+FFFD. False when any did.
bool Cp932ToUtf8(const std::string& cp932, std::string& utf8);

// Each character with no CP932 form (and each byte of invalid UTF-8) becomes "?", and the
// character (UTF-8) is appended to *unmapped when given.
std::string Utf8ToCp932(const std::string& utf8, std::vector<std::string>* unmapped = nullptr);
