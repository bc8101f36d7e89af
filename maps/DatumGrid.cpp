#include "maps/DatumGrid.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <utility>

#include "glorie/FileErrorText.h"
#include "maps/MapError.h"
#include "platform/CFile.h"

namespace {
// A grid file is a few MB; anything much bigger is not one, and is not read whole.
constexpr std::uint64_t kMaxFileBytes = 64u << 20;
// The blend of a cell's nodes, zeros included, that counts as no shift at all (in arc-seconds,
// a tenth of a millimetre): no node with data carries weight at the point. A real shift is
// seconds of arc.
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

std::string Subject(const std::string& name) { return "測地系の換算に使う地域パラメータのファイル " + name; }

std::vector<unsigned char> ReadGridFile(const std::string& path) {
    CFile file;
    CFileException error;
    // Files are opened for reading without sharing: another run reading the grid at this moment
    // holds it for about a millisecond.
    for (int attempt = 0; !file.Open(CString(path), CFile::modeRead, &error); ++attempt) {
        if (error.m_cause == CFileException::fileNotFound || error.m_cause == CFileException::badPath)
            throw MapError(Subject(path) + " が見つかりません");
        if (error.m_cause != CFileException::sharingViolation || attempt == 100)
            throw MapError(Subject(path) + " を読めませんでした (" + OpenFailureText(error.m_cause) + ")");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    try {
        const std::uint64_t length = file.GetLength();
        if (length > kMaxFileBytes)
            throw MapError(Subject(path) + " は使えません: 大きすぎます (" + std::to_string(length) + " バイト)");
        std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
        if (length > 0 && file.Read(bytes.data(), static_cast<unsigned>(length)) != length)
            throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
        file.Close();
        return bytes;
    } catch (const CFileException& failure) {
        throw MapError(Subject(path) + " を読めませんでした (" + OpenFailureText(failure.m_cause) + ")");
    }
}
}  // namespace

DatumGrid::DatumGrid(const std::string& path) : m_strName(path), m_bytes(ReadGridFile(path)) { Parse(); }

DatumGrid::DatumGrid(std::vector<unsigned char> bytes, std::string name)
    : m_strName(std::move(name)), m_bytes(std::move(bytes)) {
    Parse();
}

void DatumGrid::Parse() {
    const auto fail = [this](const std::string& why) { throw MapError(Subject(m_strName) + " は使えません: " + why); };
    const std::size_t size = m_bytes.size();
    const unsigned char* b = m_bytes.data();
    if (size > 0 && std::memcmp(b, kMagic, std::min(size, sizeof kMagic)) != 0) fail("地域パラメータの形式ではありません");
    if (size < kHeaderSize) fail("途中で切れています (" + std::to_string(size) + " バイト)");
    if (U32(b + 8) != kVersion) fail("版 " + std::to_string(U32(b + 8)) + " には対応していません");
    const std::uint32_t columns = U32(b + 12), rows = U32(b + 16), runs = U32(b + 20), nodes = U32(b + 24);
    m_west = F64(b + 32);
    m_south = F64(b + 40);
    m_cellLon = F64(b + 48);
    m_cellLat = F64(b + 56);
    if (columns < 2 || rows < 2 || columns > 65535 || rows > 65535 || runs > nodes ||
        nodes > static_cast<std::uint64_t>(columns) * rows || U32(b + 28) != 0 || !std::isfinite(m_west) ||
        !std::isfinite(m_south) || !(m_cellLon > 0 && m_cellLon < 360) || !(m_cellLat > 0 && m_cellLat < 180))
        fail("見出しの値が正しくありません");
    const std::uint64_t expected = kHeaderSize + 4 * (static_cast<std::uint64_t>(rows) + 1) +
                                   kRunSize * static_cast<std::uint64_t>(runs) + kNodeSize * static_cast<std::uint64_t>(nodes);
    if (size != expected)
        fail((size < expected ? "途中で切れています (" : "後ろに余分なバイトがあります (") + std::to_string(size) +
             " バイト、" + std::to_string(expected) + " バイトのはずです)");
    m_columns = static_cast<int>(columns);
    m_rows = static_cast<int>(rows);

    // Every row's runs in order, inside the row, apart from each other, numbering the nodes in turn.
    const unsigned char* at = b + kHeaderSize;
    m_rowStarts.resize(rows + 1);
    for (std::uint32_t r = 0; r <= rows; ++r) m_rowStarts[r] = U32(at + 4 * r);
    at += 4 * (static_cast<std::size_t>(rows) + 1);
    if (m_rowStarts[0] != 0 || m_rowStarts[rows] != runs) fail("索引が壊れています");
    m_runs.resize(runs);
    std::uint32_t counted = 0;
    for (std::uint32_t r = 0; r < rows; ++r) {
        const std::uint32_t begin = m_rowStarts[r], end = m_rowStarts[r + 1];
        if (end < begin || end > runs)
            fail("索引が壊れています (南から " + std::to_string(r + 1) + " 行目)");
        std::uint32_t free = 0;  // the first column a run of this row may start at
        for (std::uint32_t i = begin; i < end; ++i) {
            const unsigned char* p = at + kRunSize * i;
            Run run{U32(p), static_cast<std::uint16_t>(U16(p + 4)), static_cast<std::uint16_t>(U16(p + 6))};
            if (run.first != counted || run.length == 0 || run.column < free || run.column + run.length > columns)
                fail("索引が壊れています (南から " + std::to_string(r + 1) + " 行目)");
            counted += run.length;
            free = run.column + run.length;
            m_runs[i] = run;
        }
    }
    if (counted != nodes) fail("索引が壊れています");
    m_nodes = at + kRunSize * runs;
    for (std::uint32_t n = 0; n < nodes; ++n)
        if (!std::isfinite(F32(m_nodes + kNodeSize * n)) || !std::isfinite(F32(m_nodes + kNodeSize * n + 4)))
            fail("値が数ではありません (" + std::to_string(n + 1) + " 番目の節点)");
}

bool DatumGrid::Node(int column, int row, float& shiftLat, float& shiftLon) const {
    const Run* begin = m_runs.data() + m_rowStarts[row];
    const Run* end = m_runs.data() + m_rowStarts[row + 1];
    // The last run starting at or before the column.
    const Run* run = std::upper_bound(begin, end, column, [](int c, const Run& r) { return c < r.column; });
    if (run == begin) return false;
    --run;
    if (column >= run->column + run->length) return false;
    const unsigned char* node = m_nodes + kNodeSize * (run->first + static_cast<std::size_t>(column - run->column));
    shiftLat = F32(node);
    shiftLon = F32(node + 4);
    return true;
}

bool DatumGrid::Shift(double latitude, double longitude, double& shiftLat, double& shiftLon) const {
    const double x = (longitude - m_west) / m_cellLon, y = (latitude - m_south) / m_cellLat;
    if (!(x >= 0 && x <= m_columns - 1 && y >= 0 && y <= m_rows - 1)) return false;
    // The last column and row of nodes close the cells before them.
    const int column = std::min(static_cast<int>(x), m_columns - 2), row = std::min(static_cast<int>(y), m_rows - 2);
    const double fx = x - column, fy = y - row;
    const double weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    double weight = 0, lat = 0, lon = 0;
    int found = 0;
    for (int corner = 0; corner < 4; ++corner) {
        float nodeLat = 0, nodeLon = 0;
        if (!Node(column + corner % 2, row + corner / 2, nodeLat, nodeLon)) continue;
        ++found;
        weight += weights[corner];
        lat += weights[corner] * nodeLat;
        lon += weights[corner] * nodeLon;
    }
    if (found == 0) return false;
    if (found < 4) {
        if (std::fabs(lat) <= kNoShift && std::fabs(lon) <= kNoShift) return false;
        lat /= weight;
        lon /= weight;
    }
    shiftLat = lat / 3600;
    shiftLon = lon / 3600;
    return true;
}
