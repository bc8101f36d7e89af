#pragma once
// A user's own readings: a CSV file of a name and its reading a line (UTF-8 or CP932, as a
// spreadsheet saves it), for the names the guesser reads wrong or cannot read. A name found there
// takes its reading, the whole name or its longest prefix (the rest is guessed).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/CString.h"

class UserReadings {
public:
    // Throws MapError naming the file and the line of a line it cannot take, or the file when it
    // cannot be read or is larger than an input may be (a pipe is read to its end, up to that).
    static UserReadings Load(const CString& strPath);
    static UserReadings Parse(std::string bytes, const std::string& fileName);

    // The reading (half-width katakana, UTF-8) of the longest prefix of a UTF-8 name the file
    // holds; returns the prefix's length in bytes, 0 when none.
    std::size_t Match(const std::string& name, std::string& reading) const;
    std::size_t Size() const { return m_entries.size(); }

private:
    // A name and its reading, one after the other in m_text: a map of strings took some hundred
    // bytes a line, ten times a file of short lines.
    struct Entry {
        std::uint32_t at, nameBytes, readingBytes;
    };
    std::string m_text;
    std::vector<Entry> m_entries;  // by name, one a name
    std::size_t m_longest = 0;     // bytes of the longest name: no longer prefix is looked up
};
