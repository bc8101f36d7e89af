#pragma once
// Readings people wrote for place and station names (Debian's enamdict, its places and stations,
// as tools/place-readings.sh extracts them when the programs are built), which the guesser takes
// before the analyser's: a dictionary of words reads few place names as their people do.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class PlaceReadings {
public:
    PlaceReadings() = default;
    // Lines of a name, a tab and its reading (kana), sorted by the name's bytes; a name read
    // several ways has a line for each. Lines of any other shape are left out.
    explicit PlaceReadings(std::string text);
    // The file at path; empty when it cannot be read (guessing goes on without it).
    static PlaceReadings Load(const std::string& path);

    // A name's readings as full-width katakana, in the file's order; empty when it has none.
    std::vector<std::string> Find(std::string_view name) const;
    bool Empty() const { return m_lines.empty(); }

private:
    std::string_view NameAt(std::size_t line) const;

    std::string m_text;
    std::vector<std::size_t> m_lines;  // where each line of a name and a reading starts
};
