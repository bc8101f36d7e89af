#pragma once
// Japan's prefectures, municipalities and towns (大字・町域) with their own readings (Japan Post's
// list), and the municipalities' areas: tools/gazetteer/build.js makes the file when the programs
// are built, and it is mapped and read where it lies (no entry is copied out). A name holding a
// place's name takes that place's reading there: a town of the municipality the point lies in
// (新田 as that place reads it), a municipality of the point's own, else of its prefecture, else
// the nearest one of that name (松前町 in Hokkaido ﾏﾂﾏｴﾁｮｳ, in Ehime ﾏｻｷﾁｮｳ).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class MappedFile;

#include "platform/DataFolder.h"

class Gazetteer {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    Gazetteer();
    ~Gazetteer();
    Gazetteer(Gazetteer&&) noexcept;
    Gazetteer& operator=(Gazetteer&&) noexcept;
    // The tool's file, mapped; an empty gazetteer when it cannot be read or is not the tool's
    // (names are then guessed as before).
    static Gazetteer Load(const std::string& path);
    // The programs' own (beside the datum grid; the page's beside MeCab's dictionary), mapped once
    // a process, when a reading is first guessed.
    static std::shared_ptr<const Gazetteer> Shipped(const DataFolder& data);
    static std::string DefaultPath(const DataFolder& data);

    // Where a point lies: its municipality and prefecture (indexes, kNone where unknown).
    struct Spot {
        std::uint32_t municipality = kNone;
        std::uint32_t prefecture = kNone;
    };
    // The address a name starts with (a prefecture, perhaps a county, a municipality: 愛媛県伊予郡
    // 松前町…) where it has one, else the area holding the point, else the nearest area within
    // 5 km (a point just off a coast).
    Spot Locate(std::string_view name, double latitude, double longitude) const;
    Spot At(double latitude, double longitude) const;

    // The reading of the longest place's name (a prefecture at the start, a municipality or a
    // town of the spot's municipality) the UTF-8 name holds at byte at; its length in bytes, 0 when none. A
    // municipality's or town's name of two characters (森町, 新田) is taken only at the start of a
    // name, where it is not a part of a word; a town of one character only as the whole name.
    std::size_t MatchAt(std::string_view name, std::size_t at, const Spot& spot, double latitude, double longitude,
                        std::string& reading) const;
    // The reading of a closing 町 (village false) or 村 where the spot is, by its prefecture's
    // municipalities (ﾏﾁ or ﾁｮｳ, ﾑﾗ or ｿﾝ); empty where unknown.
    std::string_view ClosingReading(const Spot& spot, bool village) const;

    struct Named {
        std::string_view name, reading;
    };
    std::size_t Size() const { return m_counts.municipalities; }
    std::size_t Towns() const { return m_counts.towns; }
    Named Prefecture(std::uint32_t index) const;
    Named Municipality(std::uint32_t index) const;
    std::uint32_t PrefectureOf(std::uint32_t municipality) const;
    // The centre of its area, degrees.
    void Centre(std::uint32_t municipality, double& latitude, double& longitude) const;
    // Its towns: first and count, each read with Town.
    std::uint32_t FirstTown(std::uint32_t municipality, std::uint32_t& count) const;
    Named Town(std::uint32_t index) const;

private:
    struct Counts {
        std::uint32_t version, prefectures, municipalities, towns, areas, arcRefs, arcs, points, cols, rows, cell, entries, strings;
    };
    std::uint32_t Word(std::size_t at) const;
    std::int32_t Signed(std::size_t at) const { return static_cast<std::int32_t>(Word(at)); }
    std::string_view Text(std::size_t at) const;  // the string whose offset and length are words at and at + 1
    // Calls visit(arc, first point, end point) for each arc of the area's rings that the file holds.
    template <class Visit>
    void EachArc(std::uint32_t area, Visit visit) const;
    bool Inside(std::uint32_t area, double x, double y) const;
    double Distance(std::uint32_t area, double x, double y, double stretch, double bound) const;
    double BoxSquared(std::size_t at, double x, double y, double sx, double sy) const;
    std::size_t MatchMunicipality(std::string_view name, std::size_t at, const Spot& spot, double latitude, double longitude,
                                  std::string& reading, std::uint32_t* chosen = nullptr) const;
    std::uint32_t PrefectureAt(std::string_view name, std::size_t at) const;
    std::size_t MatchTown(std::string_view name, std::size_t at, const Spot& spot, std::string& reading) const;

    std::unique_ptr<MappedFile> m_file;
    const unsigned char* m_data = nullptr;
    Counts m_counts{};
    double m_scale[2]{}, m_translate[2]{};
    std::size_t m_longestMunicipality = 0;  // bytes
    // Word offsets of the sections.
    std::size_t m_prefectures = 0, m_municipalities = 0, m_towns = 0, m_areas = 0, m_arcRefs = 0, m_arcs = 0, m_arcBoxes = 0, m_points = 0,
                m_cells = 0, m_entries = 0, m_strings = 0;
};
