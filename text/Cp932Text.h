#pragma once
// Record text (CP932 bytes) to and from UTF-8, and cut to a field's size. CP932 is Windows'
// Japanese code page, vendor characters included; its own table (text/Cp932Table.h) does
// the work, so that every build, Windows and the browser included, converts alike.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Each byte that starts no CP932 character becomes U+FFFD, and decoding goes on at the next
// byte. False when any did.
bool Cp932ToUtf8(const std::string& cp932, std::string& utf8);

// Each character with no CP932 form, and each piece of invalid UTF-8, becomes "?", and the
// character (its bytes) is appended to *unmapped when given.
std::string Utf8ToCp932(const std::string& utf8, std::vector<std::string>* unmapped = nullptr);
// The same appended to out.
void AppendUtf8AsCp932(std::string& out, std::string_view utf8, std::vector<std::string>* unmapped = nullptr);
// The bytes the conversion gives, unmapped filled alike, without writing them.
std::size_t Cp932Length(std::string_view utf8, std::vector<std::string>* unmapped = nullptr);

// How many bytes of source (a C string) are kept when it is cut to at most limit bytes without
// splitting a character. Names are CP932 bytes whatever the host's code page, so the lead-byte
// test is CP932's. Only the first limit + 1 bytes are looked at.
std::size_t Cp932TruncatedLength(const char* source, int limit);
// The same for the text up to its first NUL, if any.
std::size_t Cp932TruncatedLength(std::string_view source, int limit);
// Copies source cut that way, and a NUL: destination has room for limit + 1 bytes.
void CopyCp932Truncated(char* destination, const char* source, int limit);
