#pragma once
// A user's own readings: a CSV file of a name and its reading a line (UTF-8 or CP932, as a
// spreadsheet saves it), for the names the guesser reads wrong or cannot read. A name found there
// takes its reading, the whole name or its longest prefix (the rest is guessed).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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
    std::size_t Size() const { return m_size; }

private:
    // A name and its reading, one after the other in m_text: a map of strings took some hundred
    // bytes a line, ten times a file of short lines.
    struct Entry {
        std::uint32_t at, nameBytes, readingBytes;
    };
    // The slot of name in m_slots: its entry's, else the empty one it would take.
    std::size_t Slot(std::string_view name) const;

    std::string m_text;
    std::vector<Entry> m_entries;          // in the file's order, a name's earlier lines among them
    std::vector<std::uint32_t> m_slots;    // open addressing: the entry's index + 1, 0 when empty
    std::vector<std::uint32_t> m_lengths;  // the names' lengths in bytes, longest first, each once
    std::size_t m_size = 0;                // names
};
