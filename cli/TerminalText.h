#pragma once
// Record text (CP932 bytes) made readable on a UTF-8 terminal. Only the point list uses it:
// documents and messages carry record text untouched.
#include <string>

// Bytes that are no CP932 character, and control characters that could steer the terminal or
// break the list's columns, each become U+FFFD.
std::string Cp932ToTerminal(const std::string& bytes);

// UTF-8 text with its control characters made U+FFFD, for the same reason.
std::string Utf8ToTerminal(const std::string& text);
