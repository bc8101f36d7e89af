#pragma once
// The national corrections for the ground's movement since the survey (the Geospatial Information
// Authority's PatchJGD grids): JGD2000 as the Tokyo datum's shift gives it, to where the ground
// is today (JGD2011, which WGS 84 maps draw to centimetres). The build makes one bundle of them
// from data/patchjgd/ (tools/GridCompact.cpp --bundle), read on any host (little-endian):
//
//   offset  size        what
//        0  8           kMagic
//        8  4           kVersion
//       12  4           grids
//       16  40 x grids  a grid's file stem (32 bytes, NUL-padded ASCII), its offset and size (u32 each)
//        .              the grids, each a compact grid (datum/DatumGrid.h)
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/MappedFile.h"

class DatumGrid;

class GroundCorrections {
public:
    static constexpr char kMagic[8] = {'Q', 'V', 'P', 'A', 'T', 'C', 'H', '\n'};
    static constexpr std::uint32_t kVersion = 1;
    static constexpr std::size_t kStemSize = 32;
    static constexpr std::size_t kEntrySize = kStemSize + 8;
    static constexpr const char* kFileName = "PatchJGD.grid";

    // Throw MapError naming the file (or name) when it cannot be read, is no bundle, or lacks one
    // of the grids the events below name.
    explicit GroundCorrections(const std::string& path);
    GroundCorrections(std::vector<unsigned char> bytes, std::string name);
    ~GroundCorrections();
    GroundCorrections(const GroundCorrections&) = delete;
    GroundCorrections& operator=(const GroundCorrections&) = delete;

    // Each event's correction in turn, where its area holds the point (degrees, in place). The
    // events that moved it come back as bits (1 << event, events as Events() lists them).
    std::uint32_t Forward(double& latitude, double& longitude) const;
    // Their inverse in reverse order, each iterated to 10 um: the JGD2000 point Forward moves to
    // (latitude, longitude).
    std::uint32_t Inverse(double& latitude, double& longitude) const;

    // The events in the order they are applied, by the names the listing uses.
    static const std::vector<const char*>& Events();
    // The names of the events in bits, joined by '+'; empty for none.
    static std::string Names(std::uint32_t events);

private:
    void Parse();
    // The event's correction at the point: false where none of its grids' areas holds it.
    bool EventShift(std::size_t event, double latitude, double longitude, double& shiftLat, double& shiftLon) const;

    std::string m_strName;
    MappedFile m_file;
    std::vector<unsigned char> m_bytes;
    const unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    std::vector<std::vector<std::unique_ptr<DatumGrid>>> m_events;  // each event's grids, first preferred
};
