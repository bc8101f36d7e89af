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

// Bits set in a word (no instruction for it is assumed).
int PopCount(std::uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

std::string Subject(const std::string& name) { return "測地系の換算に使う地域パラメータのファイル " + name; }

std::vector<unsigned char> ReadGridFile(const std::string& path) {
    CFile file;
    CFileException error;
    // Files are opened for reading without sharing: another run reading the grid at this moment
    // holds it for about a millisecond. Half a second is waited at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!file.Open(CString(path), CFile::modeRead, &error)) {
        if (error.m_cause == CFileException::fileNotFound || error.m_cause == CFileException::badPath)
            throw MapError(Subject(path) + " が見つかりません");
        if (error.m_cause != CFileException::sharingViolation || std::chrono::steady_clock::now() > deadline)
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
    m_perCellLon = 1 / m_cellLon;
    m_perCellLat = 1 / m_cellLat;
    m_columns = static_cast<int>(columns);
    m_rows = static_cast<int>(rows);

    // Every row's runs in order, inside the row, apart from each other, numbering the nodes in turn.
    const unsigned char* index = b + kHeaderSize;
    const unsigned char* runRecords = index + 4 * (static_cast<std::size_t>(rows) + 1);
    if (U32(index) != 0 || U32(index + 4 * static_cast<std::size_t>(rows)) != runs) fail("索引が壊れています");
    m_words.assign((static_cast<std::size_t>(columns) * rows + 63) / 64, Word{0, 0});
    std::uint32_t counted = 0;
    for (std::uint32_t r = 0; r < rows; ++r) {
        const std::uint32_t begin = U32(index + 4 * r), end = U32(index + 4 * (r + 1));
        if (end < begin || end > runs) fail("索引が壊れています (南から " + std::to_string(r + 1) + " 行目)");
        std::uint32_t free = 0;  // the first column a run of this row may start at
        for (std::uint32_t i = begin; i < end; ++i) {
            const unsigned char* run = runRecords + kRunSize * i;
            const std::uint32_t first = U32(run), column = U16(run + 4), length = U16(run + 6);
            if (first != counted || length == 0 || column < free || column + length > columns)
                fail("索引が壊れています (南から " + std::to_string(r + 1) + " 行目)");
            counted += length;
            free = column + length;
            for (std::size_t node = static_cast<std::size_t>(r) * columns + column, last = node + length; node < last; ++node)
                m_words[node / 64].bits |= std::uint64_t{1} << (node % 64);
        }
    }
    if (counted != nodes) fail("索引が壊れています");
    for (std::size_t w = 1; w < m_words.size(); ++w)
        m_words[w].before = m_words[w - 1].before + static_cast<std::uint32_t>(PopCount(m_words[w - 1].bits));
    m_nodes = runRecords + kRunSize * runs;
    for (std::uint32_t n = 0; n < nodes; ++n)
        if (!std::isfinite(F32(m_nodes + kNodeSize * n)) || !std::isfinite(F32(m_nodes + kNodeSize * n + 4)))
            fail("値が数ではありません (" + std::to_string(n + 1) + " 番目の節点)");
}

bool DatumGrid::Node(int column, int row, float& shiftLat, float& shiftLon) const {
    const std::size_t node = static_cast<std::size_t>(row) * m_columns + column, bit = node % 64;
    const Word& word = m_words[node / 64];
    if (!(word.bits >> bit & 1)) return false;
    const unsigned char* record = m_nodes + kNodeSize * (word.before + PopCount(word.bits & ((std::uint64_t{1} << bit) - 1)));
    shiftLat = F32(record);
    shiftLon = F32(record + 4);
    return true;
}

bool DatumGrid::Shift(double latitude, double longitude, double& shiftLat, double& shiftLon) const {
    const double x = (longitude - m_west) * m_perCellLon, y = (latitude - m_south) * m_perCellLat;
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
    shiftLat = lat * (1.0 / 3600);
    shiftLon = lon * (1.0 / 3600);
    return true;
}
