#pragma once
// Japan's municipalities with their own readings (Japan Post's list) and where each lies (the
// centre of its area): tools/gazetteer/build.js makes the file when the programs are built. A
// name holding a municipality's takes that municipality's reading there, of the nearest one where
// several share the name (松前町 in Hokkaido ﾏﾂﾏｴﾁｮｳ, in Ehime ﾏｻｷﾁｮｳ).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "maps/DataFolder.h"

class Gazetteer {
public:
    // Lines of name, reading (half-width katakana), latitude and longitude, tab-separated; an
    // empty gazetteer when the file cannot be read.
    static Gazetteer Load(const std::string& path);
    static Gazetteer Parse(const std::string& text);
    // The programs' own (beside the datum grid; the page's beside MeCab's dictionary), read once
    // a process, when a reading is first guessed.
    static std::shared_ptr<const Gazetteer> Shipped(const DataFolder& data);
    static std::string DefaultPath(const DataFolder& data);

    // The reading of the longest municipality's name the UTF-8 name holds at byte at, of the one
    // nearest to latitude, longitude among those so named; its length in bytes, 0 when none. A
    // name of two characters (森町) is taken only at the start, where it is not a part of a word.
    std::size_t MatchAt(std::string_view name, std::size_t at, double latitude, double longitude, std::string& reading) const;
    // Whether the name may hold a municipality's (each ends in 市, 町, 村 or 区): a name that
    // cannot is not looked up, and the gazetteer is not read for it.
    static bool MayHold(std::string_view name);
    std::size_t Size() const { return m_size; }

private:
    struct Entry {
        std::string reading;
        double latitude, longitude;
    };
    std::unordered_map<std::string, std::vector<Entry>> m_places;
    std::size_t m_longest = 0;
    std::size_t m_size = 0;
};
