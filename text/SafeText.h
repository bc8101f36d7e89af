#pragma once
// Names that the unit can show and that keep documents XML: control characters (U+0000-U+001F,
// U+007F, U+0080-U+009F) never pass through raw, neither into a document nor to a terminal.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Each control character of a UTF-8 text becomes a space (tab, CR and LF are blank space
// already; runs of it are collapsed later). Returns the characters replaced, each once, in order,
// tab, CR and LF not among them.
std::vector<char32_t> ReplaceControlCharacters(std::string& utf8);
// The same for record text (CP932 bytes), whose control bytes are never part of a two-byte
// character.
std::vector<char32_t> ReplaceRecordControlCharacters(std::string& cp932);

// "U+001B", "U+0000, U+007F".
std::string CodePointNames(const std::vector<char32_t>& codePoints);
// A value quoted in a message: control and bidirectional-formatting characters as "U+001B" and
// "U+202E" (which would make a name show as another), at most maxCharacters characters
// and then "…", so that a 30 MB name or a value nested 100,000 deep stays one short line.
std::string Excerpt(std::string_view utf8, std::size_t maxCharacters = 64);
// The same appended to out, without a string of its own.
void AppendExcerpt(std::string& out, std::string_view utf8, std::size_t maxCharacters = 64);
