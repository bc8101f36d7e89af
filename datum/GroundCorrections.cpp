#include "datum/GroundCorrections.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "datum/DatumGrid.h"
#include "text/MapError.h"

namespace {
struct Event {
    const char* name;
    const char* grids[2];  // the grids' file stems; the first is taken where both hold the point's whole cell
};

// The order the Geospatial Information Authority applies them in: by the events' dates, each
// correction on the coordinates the ones before it made. An event with two grids covers two
// neighbouring areas that share the nodes of their seam (Tokachi-oki 2003: the south-east and
// the north-east of Hokkaido; Noto 2024: the grid of July 2024 for the parts of Toyama and
// Ishikawa nearer the epicentre, the February one around them): each applies in its own area
// only, as GSI's notes say, so a point takes one of them, never both (both would move the seam
// twice).
constexpr Event kEvents[] = {
    {"十勝沖地震", {"tokachi2003", "tokachi2003b"}},
    {"福岡県西方沖地震", {"fukuoka2005", nullptr}},
    {"平成19年能登半島地震", {"noto2007_BL", nullptr}},
    {"新潟県中越沖地震", {"chuetsuoki2007", nullptr}},
    {"岩手・宮城内陸地震", {"iwatemiyagi2008", nullptr}},
    {"宮古島近海の地震", {"miyakojima2008", nullptr}},
    {"東北地方太平洋沖地震", {"touhokutaiheiyouoki2011", nullptr}},
    {"熊本地震", {"kumamoto2016_BL", nullptr}},
    {"令和6年能登半島地震", {"noto2024_02BL", "noto2024_BL"}},
};
constexpr std::size_t kEventCount = sizeof kEvents / sizeof kEvents[0];
// 10 um, as the Tokyo datum's inverse settles.
constexpr double kSettled = 1e-10;

std::uint32_t U32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

Message Subject(const std::string& name) { return {MessageId::correctionsFile, name}; }
}  // namespace

GroundCorrections::GroundCorrections(const std::string& path) : m_strName(path) {
    MapDataFile(m_file, path, Subject(path));
    m_data = m_file.Data();
    m_size = m_file.Size();
    Parse();
}

GroundCorrections::GroundCorrections(std::vector<unsigned char> bytes, std::string name)
    : m_strName(std::move(name)), m_bytes(std::move(bytes)) {
    m_data = m_bytes.data();
    m_size = m_bytes.size();
    Parse();
}

GroundCorrections::~GroundCorrections() = default;

void GroundCorrections::Parse() {
    const auto fail = [this](Message why) { throw MapError({MessageId::dataFileUnusable, Subject(m_strName), std::move(why)}); };
    if (m_size < 16 || std::memcmp(m_data, kMagic, sizeof kMagic) != 0) fail(MessageId::correctionsNotCorrections);
    if (U32(m_data + 8) != kVersion) fail({MessageId::dataVersion, U32(m_data + 8)});
    const std::uint32_t count = U32(m_data + 12);
    if (count > 64 || 16 + kEntrySize * count > m_size) fail(MessageId::dataBadHeader);
    m_events.resize(kEventCount);
    for (std::size_t e = 0; e < kEventCount; ++e)
        for (const char* stem : kEvents[e].grids) {
            if (!stem) continue;
            std::uint32_t i = 0;
            const unsigned char* entry = nullptr;
            for (; i < count; ++i) {
                entry = m_data + 16 + kEntrySize * i;
                if (std::strncmp(reinterpret_cast<const char*>(entry), stem, kStemSize) == 0) break;
            }
            if (i == count) fail({MessageId::correctionsMissing, stem});
            const std::uint32_t offset = U32(entry + kStemSize), size = U32(entry + kStemSize + 4);
            if (offset > m_size || size > m_size - offset) fail({MessageId::correctionsCut, stem});
            m_events[e].push_back(std::make_unique<DatumGrid>(m_data + offset, size, m_strName + " (" + stem + ")"));
        }
}

const std::vector<const char*>& GroundCorrections::Events() {
    static const std::vector<const char*> names = [] {
        std::vector<const char*> all;
        for (const Event& event : kEvents) all.push_back(event.name);
        return all;
    }();
    return names;
}

std::string GroundCorrections::Names(std::uint32_t events) {
    std::string names;
    for (std::size_t e = 0; e < kEventCount; ++e)
        if (events >> e & 1) names += (names.empty() ? "" : "+") + std::string(kEvents[e].name);
    return names;
}

bool GroundCorrections::EventShift(std::size_t event, double latitude, double longitude, double& shiftLat, double& shiftLon) const {
    // The grid whose nodes all have data at the point's cell, else the first that moves it at all
    // (the edge of its area, faded as PROJ fades it).
    bool found = false;
    for (const std::unique_ptr<DatumGrid>& grid : m_events[event]) {
        double lat = 0, lon = 0;
        bool full = false;
        if (!grid->Correction(latitude, longitude, lat, lon, full)) continue;
        if (full || !found) {
            shiftLat = lat;
            shiftLon = lon;
        }
        found = true;
        if (full) break;
    }
    return found;
}

std::uint32_t GroundCorrections::Forward(double& latitude, double& longitude) const {
    std::uint32_t moved = 0;
    for (std::size_t e = 0; e < m_events.size(); ++e) {
        double shiftLat = 0, shiftLon = 0;
        if (!EventShift(e, latitude, longitude, shiftLat, shiftLon)) continue;
        latitude += shiftLat;
        longitude += shiftLon;
        moved |= 1u << e;
    }
    return moved;
}

std::uint32_t GroundCorrections::Inverse(double& latitude, double& longitude) const {
    std::uint32_t moved = 0;
    for (std::size_t e = m_events.size(); e-- > 0;) {
        // The fixed point of the event's shift: it changes by micrometres a cell, so a few steps do.
        double fromLat = latitude, fromLon = longitude;
        bool applies = false;
        for (int step = 0; step < 20; ++step) {
            double shiftLat = 0, shiftLon = 0;
            applies = EventShift(e, fromLat, fromLon, shiftLat, shiftLon);
            const double errLat = fromLat + shiftLat - latitude, errLon = fromLon + shiftLon - longitude;
            if (std::fabs(errLat) < kSettled && std::fabs(errLon) < kSettled) break;
            fromLat -= errLat;
            fromLon -= errLon;
        }
        if (!applies) continue;
        latitude = fromLat;
        longitude = fromLon;
        moved |= 1u << e;
    }
    return moved;
}
