#pragma once
// The listing of an input's points: the one place that says which columns there are, what each
// holds and which stay empty, for quorvel-cli --list and for the page's table.
#include <cstddef>
#include <string>
#include <vector>

struct ListedPoint;

// Record text (CP932 bytes) made readable on a UTF-8 terminal: bytes that are no CP932 character,
// and control characters that could steer the terminal or break the list's columns, each become
// U+FFFD. Documents and messages carry record text untouched.
std::string Cp932ToTerminal(const std::string& bytes);
// UTF-8 text with its control characters made U+FFFD, for the same reason.
std::string Utf8ToTerminal(const std::string& text);

class PointListing {
public:
    // What comes before an input's points: its name, how many, the columns' names.
    static std::string Heading(const std::string& input, std::size_t count);
    // A point as --list prints it: its number and columns by tabs, texts made safe for a
    // terminal, and a line break.
    static void AppendLine(std::string& out, std::size_t number, const ListedPoint& point);
    // A point as the page gets it: the fields PageFields() names by tabs (tab, line break,
    // carriage return and backslash written \t, \n, \r, \\) and a line break.
    static void AppendPageLine(std::string& out, const ListedPoint& point);
    static const std::vector<const char*>& PageFields();
};
