#pragma once
// The national Tokyo-datum -> JGD2000 parameter grid, in the compact form the build makes from
// data/TKY2JGD.tif (tools/GridCompact.cpp): only the nodes that have data, their two shifts as
// the GeoTIFF holds them. Readable on any host (fixed little-endian layout):
//
//   offset  size        what
//        0  8           kMagic
//        8  4           kVersion
//       12  4 + 4       columns, rows of nodes (2 to 65535 each)
//       20  4 + 4       runs, nodes (runs of consecutive nodes with data in a row; nodes with data)
//       28  4           0
//       32  8 x 4       west, south (the node at column 0, row 0), cell width, cell height; degrees, float64
//       64  4 x rows+1  the first run of each row, then the number of runs
//        .  8 x runs    a run: its first node (u32, the nodes before it), column (u16), length (u16)
//        .  8 x nodes   a node: latitude shift, longitude shift (float32, arc-seconds, north and east positive)
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/MappedFile.h"
#include "text/Message.h"

// Maps path for reading; one missing or that cannot be opened is a MapError that names subject
// (what the file is to the user, with its path) and the cause.
void MapDataFile(MappedFile& file, const std::string& path, const Message& subject);

class DatumGrid {
public:
    static constexpr char kMagic[8] = {'Q', 'V', 'G', 'R', 'I', 'D', '\x1a', '\n'};
    static constexpr std::uint32_t kVersion = 1;
    static constexpr std::size_t kHeaderSize = 64;
    static constexpr std::size_t kRunSize = 8;
    static constexpr std::size_t kNodeSize = 8;

    // Throw MapError naming the file (or name, for bytes) when it cannot be read or is no such grid.
    // The file is mapped, not read: a run reads the pages of the nodes it uses, so a node's values
    // and a row's runs are checked when first used (Shift throws MapError for a node that is not a
    // number or a row whose runs are broken).
    explicit DatumGrid(const std::string& path);
    DatumGrid(std::vector<unsigned char> bytes, std::string name);
    // A grid inside memory that outlives it (one of a bundle's, datum/GroundCorrections.h).
    DatumGrid(const unsigned char* data, std::size_t size, std::string name);

    // The grid's shift at a Tokyo-datum point, in degrees: bilinear from its cell's four nodes;
    // in a cell where some nodes have no data, from the nodes that have data alone (blending in
    // a zero would move a coastal point only part of the way). False where the grid gives no
    // shift: outside it, or no node with data carries weight at the point.
    bool Shift(double latitude, double longitude, double& shiftLat, double& shiftLon) const;

    // A correction grid's shift, as PROJ's hgridshift reads it: a node without data shifts by
    // zero, so the shift fades to nothing at the area's edge. full: all four nodes of the point's
    // cell have data. False outside the grid or where no node with data carries weight.
    bool Correction(double latitude, double longitude, double& shiftLat, double& shiftLon, bool& full) const;

    int Columns() const { return m_columns; }

private:
    void Parse();
    // Throws MapError when the row's runs are not as Parse's comment on the layout says.
    void CheckRow(int row) const;
    // The shifts of the nodes at column and column + 1 of row in arc-seconds; has[k] false for a
    // node without data.
    void Nodes(int column, int row, bool has[2], float shiftLat[2], float shiftLon[2]) const;
    // The point's cell blended (arc-seconds): weight and found of its nodes with data; false outside.
    bool Blend(double latitude, double longitude, double& lat, double& lon, double& weight, int& found) const;

    std::string m_strName;
    MappedFile m_file;
    std::vector<unsigned char> m_bytes;     // the grid, when given as bytes
    const unsigned char* m_data = nullptr;  // the grid, mapped or given
    std::size_t m_size = 0;
    const unsigned char* m_index = nullptr;  // the first run of each row
    const unsigned char* m_runs = nullptr;
    const unsigned char* m_nodes = nullptr;
    std::uint32_t m_runCount = 0, m_nodeCount = 0;
    std::unique_ptr<std::atomic<bool>[]> m_checked;  // the rows CheckRow has passed
    int m_columns = 0, m_rows = 0;
    double m_west = 0, m_south = 0, m_cellLon = 0, m_cellLat = 0;
    double m_perCellLon = 0, m_perCellLat = 0;  // multiplied by rather than divided by: faster
};
