#pragma once
// Readings people wrote for place and station names (Debian's enamdict, its places and stations,
// as tools/place-readings.sh extracts them when the programs are built), which the guesser takes
// before the analyser's: a dictionary of words reads few place names as their people do.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class MappedFile;

class PlaceReadings {
public:
    PlaceReadings();
    ~PlaceReadings();
    PlaceReadings(PlaceReadings&&) noexcept;
    PlaceReadings& operator=(PlaceReadings&&) noexcept;
    // Lines of a name, a tab and its reading (kana); a name read several ways has a line for
    // each. Lines of any other shape are left out.
    explicit PlaceReadings(const std::string& text);
    // The file at path, its lines sorted by the name's bytes as the extraction leaves them: mapped,
    // not read, so a run pays only for the pages its names look at. Empty when it cannot be
    // opened (guessing goes on without it). Its index beside it (.idx for .txt, as
    // tools/place-readings.sh writes it) narrows each search to a block of the file; one that is
    // missing or made for another file is left alone.
    static PlaceReadings Load(const std::string& path);

    // Where the lines of the names starting with a prefix lie (bytes of the file, from and to):
    // a guesser looking up the starts of a name searches only there.
    struct Span {
        std::size_t from = 0, to = 0;
        bool Empty() const { return from >= to; }
    };
    Span Starting(std::string_view prefix) const;

    // A name's readings as full-width katakana, in the file's order; empty when it has none.
    std::vector<std::string> Find(std::string_view name) const { return Find(name, Span{0, m_text.size()}); }
    // The same, the name's lines being within the span.
    std::vector<std::string> Find(std::string_view name, Span within) const;
    bool Empty() const { return m_text.empty(); }

private:
    std::size_t LowerBound(std::string_view name, Span within) const;
    bool Block(std::string_view name, std::size_t& from, std::size_t& to) const;

    std::unique_ptr<MappedFile> m_file;
    std::unique_ptr<MappedFile> m_indexFile;
    std::string_view m_index;  // the index's lines of a name, a tab and an offset; empty without one
    std::string m_sorted;      // the lines given as text, sorted
    std::string_view m_text;   // the sorted lines, in one or the other
};
