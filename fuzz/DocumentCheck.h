#pragma once
// Checks of a glorie document made without the writer's own tables: the exact header, the closing
// line, the entry blocks, and well-formed XML read as CP932.
#include <string>

namespace fuzzcheck {

// CP932 text of printable characters only: ASCII 0x20-0x7E, half-width katakana 0xA1-0xDF, and
// pairs of a lead byte (0x81-0x9F, 0xE0-0xFC) and a trail byte (0x40-0x7E, 0x80-0xFC).
// Tab, carriage return and line feed pass only when allowLineBreaks is set.
bool IsPrintableCp932(const std::string& text, bool allowLineBreaks = false);

// Decimal-degree text: digits without a leading zero, one full stop, exactly five decimals.
bool IsDegreeText(const std::string& text);

// Empty when the document is complete: the header byte for byte, `points` entry blocks whose
// coordinates are degree text, and the closing line as the very end. Otherwise what is wrong.
std::string CheckDocumentShape(const std::string& document, int points);

// Empty when every line ends with CR LF and no other CR or LF occurs (record texts may hold
// them, so only for texts without control bytes).
std::string CheckLineEnds(const std::string& document);

// Empty when the document, decoded as CP932, is well-formed XML: balanced tags with one root,
// quoted attributes, no raw & or < in text or attribute values and no raw > in text.
std::string CheckWellFormed(const std::string& document);

}  // namespace fuzzcheck
