#include "datum/DatumGrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "glorie/FileErrorText.h"
#include "text/MapError.h"
#include "platform/CFileException.h"

namespace {
// A grid file is a few MB; anything much bigger is not one.
constexpr std::uint64_t kMaxFileBytes = 64u << 20;
// The blend of a cell's nodes, zeros included, that counts as no shift at all (in arc-seconds,
// a tenth of a millimetre): no node with data carries weight at the point. A real shift is
// seconds of arc, a correction's thousandths and more.
constexpr double kNoShift = 3.6e-6;

std::uint32_t U16(const unsigned char* p) { return p[0] | p[1] << 8; }
std::uint32_t U32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
float F32(const unsigned char* p) {
    const std::uint32_t bits = U32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
double F64(const unsigned char* p) {
    const std::uint64_t bits = U32(p) | static_cast<std::uint64_t>(U32(p + 4)) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Message Subject(const std::string& name) { return {MessageId::gridFile, name}; }

}  // namespace

void MapDataFile(MappedFile& file, const std::string& path, const Message& subject) {
    CFileException error;
    if (file.Open(CString(path), &error)) return;
    if (error.m_cause == CFileException::fileNotFound || error.m_cause == CFileException::badPath)
        throw MapError({MessageId::dataFileMissing, subject});
    throw MapError({MessageId::dataFileUnreadable, subject, OpenFailureText(error.m_cause)});
}

DatumGrid::DatumGrid(const std::string& path) : m_strName(path) {
    MapDataFile(m_file, path, Subject(path));
    m_data = m_file.Data();
    m_size = m_file.Size();
    Parse();
}

DatumGrid::DatumGrid(std::vector<unsigned char> bytes, std::string name)
    : m_strName(std::move(name)), m_bytes(std::move(bytes)) {
    m_data = m_bytes.data();
    m_size = m_bytes.size();
    Parse();
}

DatumGrid::DatumGrid(const unsigned char* data, std::size_t size, std::string name) : m_strName(std::move(name)) {
    m_data = data;
    m_size = size;
    Parse();
}

void DatumGrid::Parse() {
    const auto fail = [this](Message why) { throw MapError({MessageId::dataFileUnusable, Subject(m_strName), std::move(why)}); };
    const std::size_t size = m_size;
    const unsigned char* b = m_data;
    if (size > 0 && std::memcmp(b, kMagic, std::min(size, sizeof kMagic)) != 0) fail(MessageId::gridNotGrid);
    if (size > kMaxFileBytes) fail({MessageId::dataTooLarge, size});
    if (size < kHeaderSize) fail({MessageId::dataCut, size});
    if (U32(b + 8) != kVersion) fail({MessageId::dataVersion, U32(b + 8)});
    const std::uint32_t columns = U32(b + 12), rows = U32(b + 16), runs = U32(b + 20), nodes = U32(b + 24);
    m_west = F64(b + 32);
    m_south = F64(b + 40);
    m_cellLon = F64(b + 48);
    m_cellLat = F64(b + 56);
    if (columns < 2 || rows < 2 || columns > 65535 || rows > 65535 || runs > nodes ||
        nodes > static_cast<std::uint64_t>(columns) * rows || U32(b + 28) != 0 || !std::isfinite(m_west) ||
        !std::isfinite(m_south) || !(m_cellLon > 0 && m_cellLon < 360) || !(m_cellLat > 0 && m_cellLat < 180))
        fail(MessageId::dataBadHeader);
    const std::uint64_t expected = kHeaderSize + 4 * (static_cast<std::uint64_t>(rows) + 1) +
                                   kRunSize * static_cast<std::uint64_t>(runs) + kNodeSize * static_cast<std::uint64_t>(nodes);
    if (size != expected)
        fail({size < expected ? MessageId::dataCutExpected : MessageId::dataExtraBytes, size, expected});
    m_perCellLon = 1 / m_cellLon;
    m_perCellLat = 1 / m_cellLat;
    m_columns = static_cast<int>(columns);
    m_rows = static_cast<int>(rows);

    // The runs number the nodes in turn, so the last ends at the last node. Each row's runs are
    // checked when a shift first reads the row (CheckRow): a conversion reads a few rows of
    // thousands, and checking all 6,000 runs here was most of the first shift's cost.
    m_index = b + kHeaderSize;
    m_runs = m_index + 4 * (static_cast<std::size_t>(rows) + 1);
    m_nodes = m_runs + kRunSize * runs;
    m_runCount = runs;
    m_nodeCount = nodes;
    if (U32(m_index) != 0 || U32(m_index + 4 * static_cast<std::size_t>(rows)) != runs) fail(MessageId::dataBadIndex);
    const unsigned char* last = runs > 0 ? m_runs + kRunSize * (runs - 1) : nullptr;
    if ((last ? std::uint64_t{U32(last)} + U16(last + 6) : 0) != nodes) fail(MessageId::dataBadIndex);
    m_checked = std::make_unique<std::atomic<bool>[]>(rows);
}

// A row's runs in order, inside the row, apart from each other, each starting where the run before
// it (in this row or the one below) ends, within the nodes: then every node a run names exists.
void DatumGrid::CheckRow(int row) const {
    std::atomic<bool>& checked = m_checked[static_cast<std::size_t>(row)];
    if (checked.load(std::memory_order_acquire)) return;
    const std::uint32_t begin = U32(m_index + 4 * static_cast<std::size_t>(row)), end = U32(m_index + 4 * (static_cast<std::size_t>(row) + 1));
    bool broken = end < begin || end > m_runCount;
    std::uint64_t counted = 0;  // the nodes before the row's first run
    if (!broken && begin > 0) {
        const unsigned char* before = m_runs + kRunSize * (begin - 1);
        counted = std::uint64_t{U32(before)} + U16(before + 6);
    }
    std::uint32_t free = 0;  // the first column a run of this row may start at
    for (std::uint32_t i = begin; i < end && !broken; ++i) {
        const unsigned char* run = m_runs + kRunSize * i;
        const std::uint32_t first = U32(run), column = U16(run + 4), length = U16(run + 6);
        broken = first != counted || length == 0 || column < free || column + length > static_cast<std::uint32_t>(m_columns) ||
                 counted + length > m_nodeCount;
        counted += length;
        free = column + length;
    }
    if (broken)
        throw MapError({MessageId::dataFileUnusable, Subject(m_strName), Message(MessageId::dataBadIndexRow, row + 1)});
    checked.store(true, std::memory_order_release);
}

void DatumGrid::Nodes(int column, int row, bool has[2], float shiftLat[2], float shiftLon[2]) const {
    CheckRow(row);
    // The row's runs are few and in column order: the last that starts at or before the column.
    const std::uint32_t first = U32(m_index + 4 * static_cast<std::size_t>(row));
    std::uint32_t low = first, high = U32(m_index + 4 * (static_cast<std::size_t>(row) + 1));
    const std::uint32_t end = high;
    const auto c = static_cast<std::uint32_t>(column);
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (U16(m_runs + kRunSize * middle + 4) <= c)
            low = middle + 1;
        else
            high = middle;
    }
    // A node lies in that run or, past its end, in the next, when that starts at the node.
    const auto runOf = [&](std::uint32_t node) -> const unsigned char* {
        if (low > first) {
            const unsigned char* run = m_runs + kRunSize * (low - 1);
            if (node < U16(run + 4) + U16(run + 6)) return run;
        }
        const unsigned char* next = m_runs + kRunSize * low;
        return low < end && U16(next + 4) == node ? next : nullptr;
    };
    for (std::uint32_t k = 0; k < 2; ++k) {
        const unsigned char* run = runOf(c + k);
        has[k] = run != nullptr;
        if (!run) continue;
        const std::uint32_t node = U32(run) + (c + k - U16(run + 4));
        const unsigned char* values = m_nodes + kNodeSize * node;
        shiftLat[k] = F32(values);
        shiftLon[k] = F32(values + 4);
        if (!std::isfinite(shiftLat[k]) || !std::isfinite(shiftLon[k]))
            throw MapError({MessageId::dataFileUnusable, Subject(m_strName), Message(MessageId::dataNotNumber, node + 1)});
    }
}

bool DatumGrid::Blend(double latitude, double longitude, double& lat, double& lon, double& weight, int& found) const {
    const double x = (longitude - m_west) * m_perCellLon, y = (latitude - m_south) * m_perCellLat;
    if (!(x >= 0 && x <= m_columns - 1 && y >= 0 && y <= m_rows - 1)) return false;
    // The last column and row of nodes close the cells before them.
    const int column = std::min(static_cast<int>(x), m_columns - 2), row = std::min(static_cast<int>(y), m_rows - 2);
    const double fx = x - column, fy = y - row;
    const double weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    weight = lat = lon = 0;
    found = 0;
    // A row's two nodes at once: one search of its runs, not two.
    for (int side = 0; side < 2; ++side) {
        bool has[2];
        float nodeLat[2], nodeLon[2];
        Nodes(column, row + side, has, nodeLat, nodeLon);
        for (int k = 0; k < 2; ++k) {
            if (!has[k]) continue;
            const double w = weights[2 * side + k];
            ++found;
            weight += w;
            lat += w * nodeLat[k];
            lon += w * nodeLon[k];
        }
    }
    return true;
}

bool DatumGrid::Shift(double latitude, double longitude, double& shiftLat, double& shiftLon) const {
    double weight = 0, lat = 0, lon = 0;
    int found = 0;
    if (!Blend(latitude, longitude, lat, lon, weight, found) || found == 0) return false;
    if (found < 4) {
        if (std::fabs(lat) <= kNoShift && std::fabs(lon) <= kNoShift) return false;
        lat /= weight;
        lon /= weight;
    }
    shiftLat = lat * (1.0 / 3600);
    shiftLon = lon * (1.0 / 3600);
    return true;
}

bool DatumGrid::Correction(double latitude, double longitude, double& shiftLat, double& shiftLon, bool& full) const {
    double weight = 0, lat = 0, lon = 0;
    int found = 0;
    // Less than kNoShift is no move (a node's weight near nothing at the area's edge).
    if (!Blend(latitude, longitude, lat, lon, weight, found) || (std::fabs(lat) <= kNoShift && std::fabs(lon) <= kNoShift))
        return false;
    full = found == 4;
    shiftLat = lat * (1.0 / 3600);
    shiftLon = lon * (1.0 / 3600);
    return true;
}
