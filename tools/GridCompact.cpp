// quorvel-grid-compact IN.tif OUT
// quorvel-grid-compact --bundle OUT IN.tif...   (the correction grids in one file, datum/GroundCorrections.h)
// The national grid's GeoTIFF in the compact form the programs read (layout in datum/DatumGrid.h):
// only the nodes with data (a node without holds a zero shift in both bands), their float32
// values as the GeoTIFF holds them (a longitude band positive west negated, which is exact), and
// a row and run index. Runs on the build host. Only what the grid uses is understood: one
// little-endian image of two float32 bands in tiles or strips, deflated with or without the floating-point
// predictor or stored plain, georeferenced by a tie point and a pixel scale in degrees.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "datum/DatumGrid.h"
#include "datum/GroundCorrections.h"

namespace {
class Tiff {
public:
    explicit Tiff(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes)) {
        if (m_bytes.size() < 8 || std::memcmp(m_bytes.data(), "II*\0", 4) != 0)
            throw std::runtime_error("not a little-endian TIFF");
        const std::size_t ifd = U32(4);
        const unsigned count = U16(ifd);
        for (unsigned i = 0; i < count; ++i) {
            const std::size_t at = ifd + 2 + 12 * i;
            m_entries[static_cast<std::uint16_t>(U16(at))] = Entry{U16(at + 2), U32(at + 4), at + 8};
        }
        if (U32(ifd + 2 + 12 * count) != 0) throw std::runtime_error("more than one image");
    }

    bool Has(std::uint16_t tag) const { return m_entries.count(tag) != 0; }
    std::uint32_t Count(std::uint16_t tag) const { return Get(tag).count; }
    // Value index of a SHORT, LONG or DOUBLE tag.
    double Number(std::uint16_t tag, std::uint32_t index = 0) const {
        const Entry& e = Get(tag);
        const std::size_t size = e.type == 3 ? 2 : e.type == 4 ? 4
                                               : e.type == 12  ? 8
                                                               : 0;
        if (size == 0) throw std::runtime_error("tag " + std::to_string(tag) + " is not a number");
        if (index >= e.count) throw std::runtime_error("tag " + std::to_string(tag) + " too short");
        const std::size_t at = (size * e.count > 4 ? U32(e.at) : e.at) + size * index;
        if (size == 2) return U16(at);
        if (size == 4) return U32(at);
        const std::uint64_t bits = U32(at) | static_cast<std::uint64_t>(U32(at + 4)) << 32;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    std::string Text(std::uint16_t tag) const {
        const Entry& e = Get(tag);
        if (e.type != 2) throw std::runtime_error("tag " + std::to_string(tag) + " is not text");
        const std::size_t at = e.count > 4 ? U32(e.at) : e.at;
        Check(at, e.count);
        return std::string(reinterpret_cast<const char*>(&m_bytes[at]), e.count);
    }
    const unsigned char* Bytes(std::size_t at, std::size_t length) const {
        Check(at, length);
        return &m_bytes[at];
    }

private:
    struct Entry {
        std::uint32_t type = 0, count = 0;
        std::size_t at = 0;  // where the entry's value or its offset is stored
    };
    const Entry& Get(std::uint16_t tag) const {
        const auto found = m_entries.find(tag);
        if (found == m_entries.end()) throw std::runtime_error("tag " + std::to_string(tag) + " missing");
        return found->second;
    }
    void Check(std::size_t at, std::size_t length) const {
        if (at > m_bytes.size() || length > m_bytes.size() - at) throw std::runtime_error("truncated");
    }
    std::uint32_t U16(std::size_t at) const {
        Check(at, 2);
        return m_bytes[at] | m_bytes[at + 1] << 8;
    }
    std::uint32_t U32(std::size_t at) const {
        Check(at, 4);
        return m_bytes[at] | m_bytes[at + 1] << 8 | m_bytes[at + 2] << 16 | static_cast<std::uint32_t>(m_bytes[at + 3]) << 24;
    }

    std::vector<unsigned char> m_bytes;
    std::map<std::uint16_t, Entry> m_entries;
};

// The floating-point predictor undone on one row: bytes summed, then the byte planes (most
// significant first) put back together into little-endian samples.
void UndoFloatPredictor(unsigned char* row, std::size_t samples) {
    const std::size_t size = samples * 4;
    for (std::size_t i = 1; i < size; ++i) row[i] = static_cast<unsigned char>(row[i] + row[i - 1]);
    const std::vector<unsigned char> planes(row, row + size);
    for (std::size_t k = 0; k < samples; ++k)
        for (std::size_t b = 0; b < 4; ++b) row[4 * k + b] = planes[(3 - b) * samples + k];
}

// GDAL's metadata items, keyed by name and band ("DESCRIPTION/0"); items for the whole image by name.
std::map<std::string, std::string> GdalItems(const std::string& xml) {
    std::map<std::string, std::string> items;
    auto attribute = [](const std::string& tag, const std::string& name) {
        const std::size_t at = tag.find(" " + name + "=\"");
        if (at == std::string::npos) return std::string();
        const std::size_t from = at + name.size() + 3;
        return tag.substr(from, tag.find('"', from) - from);
    };
    for (std::size_t at = xml.find("<Item "); at != std::string::npos; at = xml.find("<Item ", at + 1)) {
        const std::size_t close = xml.find('>', at), end = xml.find("</Item>", at);
        if (close == std::string::npos || end == std::string::npos || end < close) throw std::runtime_error("bad GDAL metadata");
        const std::string tag = xml.substr(at, close - at), sample = attribute(tag, "sample");
        items[attribute(tag, "name") + (sample.empty() ? "" : "/" + sample)] = xml.substr(close + 1, end - close - 1);
    }
    return items;
}

void Put(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
    for (int b = 0; b < bytes; ++b) out.push_back(static_cast<unsigned char>(value >> (8 * b)));
}
void PutDouble(std::vector<unsigned char>& out, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Put(out, bits, 8);
}

std::vector<unsigned char> Compact(const Tiff& tiff) {
    const std::size_t columns = static_cast<std::size_t>(tiff.Number(256)), rows = static_cast<std::size_t>(tiff.Number(257));
    const unsigned compression = static_cast<unsigned>(tiff.Number(259));
    const unsigned predictor = tiff.Has(317) ? static_cast<unsigned>(tiff.Number(317)) : 1;
    const unsigned planar = tiff.Has(284) ? static_cast<unsigned>(tiff.Number(284)) : 1;
    const unsigned bands = static_cast<unsigned>(tiff.Number(277));
    if (bands != 2 || tiff.Number(258) != 32 || tiff.Number(258, 1) != 32 || !tiff.Has(339) || tiff.Number(339) != 3)
        throw std::runtime_error("not two float32 bands");
    if ((compression != 1 && compression != 8 && compression != 32946) || (predictor != 1 && predictor != 3) ||
        (predictor == 3 && planar != 2) || tiff.Has(42113))
        throw std::runtime_error("a layout this tool does not know");
    if (columns < 2 || rows < 2 || columns > 65535 || rows > 65535) throw std::runtime_error("an unusable size");

    // Georeferencing: degrees (a geographic model); a pixel is a node, or an area whose centre is.
    bool pixelIsArea = true, geographic = false;
    for (std::uint32_t k = 4; k + 3 < tiff.Count(34735); k += 4) {
        const double key = tiff.Number(34735, k), location = tiff.Number(34735, k + 1), value = tiff.Number(34735, k + 3);
        if (key == 1024) geographic = location == 0 && value == 2;
        if (key == 1025) pixelIsArea = location == 0 && value == 1;
    }
    const double cellLon = tiff.Number(33550, 0), cellLat = tiff.Number(33550, 1);
    if (!geographic || tiff.Number(33922, 0) != 0 || tiff.Number(33922, 1) != 0 || !(cellLon > 0) || !(cellLat > 0))
        throw std::runtime_error("georeferencing this tool does not know");
    const double west = tiff.Number(33922, 3) + (pixelIsArea ? cellLon / 2 : 0);
    const double north = tiff.Number(33922, 4) - (pixelIsArea ? cellLat / 2 : 0);
    const double south = north - static_cast<double>(rows - 1) * cellLat;

    // Which band holds what, in which unit and sense (GDAL's metadata; PROJ's defaults without it).
    std::map<std::string, std::string> items;
    if (tiff.Has(42112)) items = GdalItems(tiff.Text(42112));
    unsigned latBand = 0, lonBand = 1;
    for (unsigned band = 0; band < 2; ++band) {
        const std::string s = "/" + std::to_string(band);
        if (items["DESCRIPTION" + s] == "latitude_offset") latBand = band;
        if (items["DESCRIPTION" + s] == "longitude_offset") lonBand = band;
        if (!items["UNITTYPE" + s].empty() && items["UNITTYPE" + s] != "arc-second")
            throw std::runtime_error("offsets not in arc-seconds");
    }
    const std::string sense = items["positive_value/" + std::to_string(lonBand)];
    if (latBand == lonBand || (!sense.empty() && sense != "east" && sense != "west"))
        throw std::runtime_error("bands this tool does not know");
    const float lonSign = sense == "west" ? -1.0f : 1.0f;

    // Both bands in full, row 0 the northern one. Strips are tiles as wide as the image; the last
    // strip holds only the rows left.
    const bool tiled = tiff.Has(322);
    const std::uint16_t offsetsTag = tiled ? 324 : 273, countsTag = tiled ? 325 : 279;
    const std::size_t tileWidth = tiled ? static_cast<std::size_t>(tiff.Number(322)) : columns;
    const std::size_t tileHeight = tiled ? static_cast<std::size_t>(tiff.Number(323))
                                         : std::min(rows, tiff.Has(278) ? static_cast<std::size_t>(tiff.Number(278)) : rows);
    if (tileWidth == 0 || tileHeight == 0) throw std::runtime_error("an unusable tile size");
    const std::size_t across = (columns + tileWidth - 1) / tileWidth, down = (rows + tileHeight - 1) / tileHeight;
    const std::size_t perPixel = planar == 2 ? 1 : 2;
    if (tiff.Count(offsetsTag) != across * down * (planar == 2 ? 2 : 1) || tiff.Count(countsTag) != tiff.Count(offsetsTag))
        throw std::runtime_error("a tile count that does not fit the size");
    std::vector<float> values[2];
    values[0].resize(columns * rows);
    values[1].resize(columns * rows);
    std::vector<unsigned char> tile(tileWidth * tileHeight * perPixel * 4);
    for (std::uint32_t t = 0; t < tiff.Count(offsetsTag); ++t) {
        const std::size_t offset = static_cast<std::size_t>(tiff.Number(offsetsTag, t)), length = static_cast<std::size_t>(tiff.Number(countsTag, t));
        const unsigned char* stored = tiff.Bytes(offset, length);
        const std::size_t plane = t / (across * down), first = t % (across * down);
        const std::size_t x0 = first % across * tileWidth, y0 = first / across * tileHeight;
        const std::size_t height = tiled ? tileHeight : std::min(tileHeight, rows - y0);
        const std::size_t tileSize = tileWidth * height * perPixel * 4;
        if (compression == 1) {
            if (length != tileSize) throw std::runtime_error("an uncompressed tile of the wrong size");
            std::memcpy(tile.data(), stored, tileSize);
        } else {
            uLongf size = static_cast<uLongf>(tileSize);
            if (uncompress(tile.data(), &size, stored, static_cast<uLong>(length)) != Z_OK || size != tileSize)
                throw std::runtime_error("tile " + std::to_string(t) + " does not inflate");
            if (predictor == 3)
                for (std::size_t y = 0; y < height; ++y) UndoFloatPredictor(&tile[y * tileWidth * 4], tileWidth);
        }
        for (std::size_t y = 0; y < height && y0 + y < rows; ++y)
            for (std::size_t x = 0; x < tileWidth && x0 + x < columns; ++x)
                for (std::size_t s = 0; s < perPixel; ++s) {
                    float value;
                    std::memcpy(&value, &tile[((y * tileWidth + x) * perPixel + s) * 4], 4);
                    values[plane + s][(y0 + y) * columns + x0 + x] = value;
                }
    }

    // Runs of nodes with data, row by row from the south.
    std::vector<std::uint32_t> rowStarts;
    std::vector<unsigned char> runs, nodes;
    std::uint32_t runCount = 0, nodeCount = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        rowStarts.push_back(runCount);
        const std::size_t image = (rows - 1 - r) * columns;
        for (std::size_t c = 0; c < columns;) {
            auto has = [&](std::size_t column) { return values[latBand][image + column] != 0 || values[lonBand][image + column] != 0; };
            if (!has(c)) {
                ++c;
                continue;
            }
            std::size_t end = c;
            for (; end < columns && has(end); ++end) {
                const float lat = values[latBand][image + end], lon = lonSign * values[lonBand][image + end];
                if (!std::isfinite(lat) || !std::isfinite(lon)) throw std::runtime_error("a value that is not a number");
                std::uint32_t bits;
                std::memcpy(&bits, &lat, 4);
                Put(nodes, bits, 4);
                std::memcpy(&bits, &lon, 4);
                Put(nodes, bits, 4);
            }
            Put(runs, nodeCount, 4);
            Put(runs, c, 2);
            Put(runs, end - c, 2);
            ++runCount;
            nodeCount += static_cast<std::uint32_t>(end - c);
            c = end;
        }
    }
    rowStarts.push_back(runCount);

    std::vector<unsigned char> out(DatumGrid::kMagic, DatumGrid::kMagic + sizeof DatumGrid::kMagic);
    Put(out, DatumGrid::kVersion, 4);
    Put(out, columns, 4);
    Put(out, rows, 4);
    Put(out, runCount, 4);
    Put(out, nodeCount, 4);
    Put(out, 0, 4);
    PutDouble(out, west);
    PutDouble(out, south);
    PutDouble(out, cellLon);
    PutDouble(out, cellLat);
    for (const std::uint32_t start : rowStarts) Put(out, start, 4);
    out.insert(out.end(), runs.begin(), runs.end());
    out.insert(out.end(), nodes.begin(), nodes.end());
    return out;
}

std::vector<unsigned char> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot be read");
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The grids after a directory of their file stems (without .tif), in the order given.
std::vector<unsigned char> Bundle(const std::vector<std::string>& paths, std::string& current) {
    std::vector<std::vector<unsigned char>> grids;
    for (const std::string& path : paths) {
        current = path;
        grids.push_back(Compact(Tiff(Read(path))));
    }
    std::vector<unsigned char> out(GroundCorrections::kMagic, GroundCorrections::kMagic + sizeof GroundCorrections::kMagic);
    Put(out, GroundCorrections::kVersion, 4);
    Put(out, paths.size(), 4);
    std::size_t offset = out.size() + GroundCorrections::kEntrySize * paths.size();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        current = paths[i];
        std::string stem = paths[i].substr(paths[i].find_last_of('/') + 1);
        if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".tif") == 0) stem.resize(stem.size() - 4);
        if (stem.empty() || stem.size() >= GroundCorrections::kStemSize) throw std::runtime_error("a name too long for the bundle");
        stem.resize(GroundCorrections::kStemSize, '\0');
        out.insert(out.end(), stem.begin(), stem.end());
        Put(out, offset, 4);
        Put(out, grids[i].size(), 4);
        offset += grids[i].size();
    }
    for (const std::vector<unsigned char>& grid : grids) out.insert(out.end(), grid.begin(), grid.end());
    return out;
}
}  // namespace

int main(int argc, char** argv) {
    const bool bundle = argc >= 4 && std::string(argv[1]) == "--bundle";
    if (argc != 3 && !bundle) {
        std::fprintf(stderr, "usage: quorvel-grid-compact IN.tif OUT\n       quorvel-grid-compact --bundle OUT IN.tif...\n");
        return 2;
    }
    const std::string target = argv[2];
    std::string current = bundle ? target : argv[1];
    // Written beside the target and renamed: a failed run leaves no half file for the build to take.
    const std::string temporary = target + ".part";
    try {
        const std::vector<unsigned char> grid =
            bundle ? Bundle(std::vector<std::string>(argv + 3, argv + argc), current) : Compact(Tiff(Read(argv[1])));
        current = target;
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(grid.data()), static_cast<std::streamsize>(grid.size()));
        if (!out.flush()) throw std::runtime_error(temporary + " cannot be written");
        out.close();
        if (std::rename(temporary.c_str(), target.c_str()) != 0) throw std::runtime_error(target + " cannot be written");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvel-grid-compact: %s: %s\n", current.c_str(), error.what());
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
