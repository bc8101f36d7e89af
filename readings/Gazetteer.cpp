#include "readings/Gazetteer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>

#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"
#include "platform/MappedFile.h"
#include "text/Utf8.h"

namespace {
constexpr const char* kFileName = "gazetteer.bin";
constexpr std::size_t kHeader = 4 + 4 * 13 + 8 * 4;  // the magic, the counts, the transform
constexpr std::size_t kPrefectureWords = 5, kMunicipalityWords = 9, kTownWords = 4, kAreaWords = 8;
constexpr std::uint32_t kVersion = 2;
constexpr std::string_view kSuffixes[] = {"市", "町", "村", "区"};
constexpr std::string_view kPrefectureSuffixes[] = {"都", "道", "府", "県"};
constexpr double kOffCoastMetres = 5000;
constexpr double kMetresPerDegree = 111320;
constexpr double kSlack = 1 + 1e-9;           // on a squared distance: far above what rounding takes
constexpr std::size_t kLongestTown = 30 * 3;  // bytes: KEN_ALL's longest towns are shorter

// Squared distance on a plane stretched by the latitude: enough to tell the nearest of a few.
double Distance(double lat1, double lon1, double lat2, double lon2) {
    const double dx = (lon1 - lon2) * std::cos((lat1 + lat2) * 0.5 * 3.14159265358979 / 180);
    return dx * dx + (lat1 - lat2) * (lat1 - lat2);
}

// Whether the character is one of the four (each three bytes of UTF-8), told by its bytes: asked
// for every character of every name that may hold a place, where a call to compare costs more.
bool IsAnyOf(std::string_view character, const std::string_view (&characters)[4]) {
    if (character.size() != 3) return false;
    for (const std::string_view one : characters)
        if (character[2] == one[2] && character[1] == one[1] && character[0] == one[0]) return true;
    return false;
}
}  // namespace

Gazetteer::Gazetteer() = default;
Gazetteer::~Gazetteer() = default;
Gazetteer::Gazetteer(Gazetteer&&) noexcept = default;
Gazetteer& Gazetteer::operator=(Gazetteer&&) noexcept = default;

std::uint32_t Gazetteer::Word(std::size_t at) const {
    std::uint32_t word;
    std::memcpy(&word, m_data + kHeader + at * 4, 4);
    return word;
}

std::string_view Gazetteer::Text(std::size_t at) const {
    const std::uint32_t from = Word(at), size = Word(at + 1);
    if (from > m_counts.strings || size > m_counts.strings - from) return {};  // not the tool's: nothing outside the file
    return std::string_view(reinterpret_cast<const char*>(m_data) + m_strings + from, size);
}

Gazetteer Gazetteer::Load(const std::string& path) {
    Gazetteer gazetteer;
    auto file = std::make_unique<MappedFile>();
    CFileException error;
    if (!file->Open(CString(path), &error) || file->Size() < kHeader || std::memcmp(file->Data(), "QGAZ", 4) != 0) return {};
    Counts counts;
    std::memcpy(&counts, file->Data() + 4, sizeof counts);
    if (counts.version != kVersion || counts.prefectures != 47) return {};
    std::memcpy(gazetteer.m_scale, file->Data() + 4 + sizeof counts, sizeof gazetteer.m_scale);
    std::memcpy(gazetteer.m_translate, file->Data() + 4 + sizeof counts + sizeof gazetteer.m_scale, sizeof gazetteer.m_translate);
    // The sections' sizes must add up to the file's, and every offset read is then within it.
    std::uint64_t words = 0;
    const auto section = [&](std::size_t& start, std::uint64_t size) {
        start = static_cast<std::size_t>(words);
        words += size;
    };
    section(gazetteer.m_prefectures, std::uint64_t{counts.prefectures} * kPrefectureWords);
    section(gazetteer.m_municipalities, std::uint64_t{counts.municipalities} * kMunicipalityWords);
    section(gazetteer.m_towns, std::uint64_t{counts.towns} * kTownWords);
    section(gazetteer.m_areas, std::uint64_t{counts.areas} * kAreaWords);
    section(gazetteer.m_arcRefs, counts.arcRefs);
    section(gazetteer.m_arcs, std::uint64_t{counts.arcs} + 1);
    section(gazetteer.m_arcBoxes, std::uint64_t{counts.arcs} * 4);
    section(gazetteer.m_points, std::uint64_t{counts.points} * 2);
    section(gazetteer.m_cells, std::uint64_t{counts.cols} * counts.rows + 1);
    section(gazetteer.m_entries, counts.entries);
    if (kHeader + words * 4 + counts.strings != file->Size() || counts.cell == 0) return {};
    gazetteer.m_strings = kHeader + static_cast<std::size_t>(words) * 4;
    gazetteer.m_data = file->Data();
    gazetteer.m_counts = counts;
    gazetteer.m_file = std::move(file);
    // A name is searched for a municipality's only as far as the longest one's (some 20 bytes).
    for (std::uint32_t m = 0; m < counts.municipalities; ++m)
        gazetteer.m_longestMunicipality = std::max(gazetteer.m_longestMunicipality, gazetteer.Municipality(m).name.size());
    return gazetteer;
}

std::string Gazetteer::DefaultPath(const DataFolder& data) {
#ifdef __EMSCRIPTEN__
    (void)data;
    return std::string("/ipadic/") + kFileName;  // the page's, beside MeCab's dictionary when it came
#else
    return data.PathOf(kFileName);
#endif
}

std::shared_ptr<const Gazetteer> Gazetteer::Shipped(const DataFolder& data) {
    // Read once a process for each data folder: asked for every name that may hold a place, so the
    // folder's file is looked for (a few system calls) only the first time.
    static std::mutex lock;
    static std::map<std::string, std::shared_ptr<const Gazetteer>> read;
    const std::lock_guard<std::mutex> hold(lock);
    std::shared_ptr<const Gazetteer>& shipped = read[data.Chosen()];
    if (!shipped) shipped = std::make_shared<const Gazetteer>(Load(DefaultPath(data)));
    return shipped;
}

Gazetteer::Named Gazetteer::Prefecture(std::uint32_t index) const {
    const std::size_t at = m_prefectures + std::size_t{index} * kPrefectureWords;
    return {Text(at), Text(at + 2)};
}

Gazetteer::Named Gazetteer::Municipality(std::uint32_t index) const {
    const std::size_t at = m_municipalities + std::size_t{index} * kMunicipalityWords;
    return {Text(at), Text(at + 2)};
}

std::uint32_t Gazetteer::PrefectureOf(std::uint32_t municipality) const {
    return Word(m_municipalities + std::size_t{municipality} * kMunicipalityWords + 4);
}

void Gazetteer::Centre(std::uint32_t municipality, double& latitude, double& longitude) const {
    const std::size_t at = m_municipalities + std::size_t{municipality} * kMunicipalityWords;
    latitude = Signed(at + 5) / 1e6;
    longitude = Signed(at + 6) / 1e6;
}

std::uint32_t Gazetteer::FirstTown(std::uint32_t municipality, std::uint32_t& count) const {
    const std::size_t at = m_municipalities + std::size_t{municipality} * kMunicipalityWords;
    count = Word(at + 8);
    return Word(at + 7);
}

Gazetteer::Named Gazetteer::Town(std::uint32_t index) const {
    const std::size_t at = m_towns + std::size_t{index} * kTownWords;
    return {Text(at), Text(at + 2)};
}

// Even-odd: a ray from the point eastwards crosses the area's rings an odd number of times. The
// rings are the area's arcs end to end, so each arc's segments can be taken alone.
template <class Visit>
void Gazetteer::EachArc(std::uint32_t area, Visit visit) const {
    const std::size_t at = m_areas + std::size_t{area} * kAreaWords;
    const std::uint32_t first = Word(at + 2), refs = Word(at + 3);
    if (first > m_counts.arcRefs || refs > m_counts.arcRefs - first) return;
    for (std::uint32_t r = 0; r < refs; ++r) {
        const std::int32_t ref = Signed(m_arcRefs + first + r);
        const std::uint32_t arc = ref >= 0 ? static_cast<std::uint32_t>(ref) : ~static_cast<std::uint32_t>(ref);
        if (arc >= m_counts.arcs) continue;
        visit(arc, Word(m_arcs + arc), std::min(Word(m_arcs + arc + 1), m_counts.points));
    }
}

bool Gazetteer::Inside(std::uint32_t area, double x, double y) const {
    const std::size_t at = m_areas + std::size_t{area} * kAreaWords;
    if (x < Signed(at + 4) || y < Signed(at + 5) || x > Signed(at + 6) || y > Signed(at + 7)) return false;
    bool inside = false;
    EachArc(area, [&](std::uint32_t arc, std::uint32_t from, std::uint32_t to) {
        // An arc wholly above, below or west of the point crosses no ray from it eastwards.
        const std::size_t box = m_arcBoxes + std::size_t{arc} * 4;
        if (y < Signed(box + 1) || y > Signed(box + 3) || x > Signed(box + 2)) return;
        for (std::uint32_t p = from; p + 1 < to; ++p) {
            const double x0 = Signed(m_points + 2 * std::size_t{p}), y0 = Signed(m_points + 2 * std::size_t{p} + 1);
            const double x1 = Signed(m_points + 2 * std::size_t{p} + 2), y1 = Signed(m_points + 2 * std::size_t{p} + 3);
            if ((y0 > y) != (y1 > y) && x < x0 + (y - y0) * (x1 - x0) / (y1 - y0)) inside = !inside;
        }
    });
    return inside;
}

// The least distance from the point to the area's edges, in metres (x stretched by stretch), where
// it is below bound; else bound or more. Arcs whose box lies that far are passed over, and a
// segment's hypot is taken only where its square does not already say it is farther: the slack
// (far above hypot's error) keeps every segment that might be nearer.
double Gazetteer::Distance(std::uint32_t area, double x, double y, double stretch, double bound) const {
    const double sx = m_scale[0] * kMetresPerDegree * stretch, sy = m_scale[1] * kMetresPerDegree;
    double best = bound, bestSquared = bound * bound * kSlack;
    EachArc(area, [&](std::uint32_t arc, std::uint32_t from, std::uint32_t to) {
        if (BoxSquared(m_arcBoxes + std::size_t{arc} * 4, x, y, sx, sy) > bestSquared) return;
        for (std::uint32_t p = from; p + 1 < to; ++p) {
            const double ax = (Signed(m_points + 2 * std::size_t{p}) - x) * sx, ay = (Signed(m_points + 2 * std::size_t{p} + 1) - y) * sy;
            const double bx = (Signed(m_points + 2 * std::size_t{p} + 2) - x) * sx, by = (Signed(m_points + 2 * std::size_t{p} + 3) - y) * sy;
            const double dx = bx - ax, dy = by - ay, length = dx * dx + dy * dy;
            const double t = length > 0 ? std::clamp(-(ax * dx + ay * dy) / length, 0.0, 1.0) : 0.0;
            const double ex = ax + t * dx, ey = ay + t * dy;
            if (ex * ex + ey * ey > bestSquared) continue;
            if (const double distance = std::hypot(ex, ey); distance < best) best = distance, bestSquared = best * best * kSlack;
        }
    });
    return best;
}

// The squared distance in metres from the point to the box of four words at at (west, south,
// east, north): none of what it holds is nearer.
double Gazetteer::BoxSquared(std::size_t at, double x, double y, double sx, double sy) const {
    const double dx = std::max({Signed(at) - x, x - Signed(at + 2), 0.0}) * sx;
    const double dy = std::max({Signed(at + 1) - y, y - Signed(at + 3), 0.0}) * sy;
    return dx * dx + dy * dy;
}

Gazetteer::Spot Gazetteer::At(double latitude, double longitude) const {
    Spot spot;
    if (!m_data || !std::isfinite(latitude) || !std::isfinite(longitude)) return spot;
    const double x = (longitude - m_translate[0]) / m_scale[0], y = (latitude - m_translate[1]) / m_scale[1];
    const double cell = m_counts.cell;
    const long column = static_cast<long>(std::floor(x / cell)), row = static_cast<long>(std::floor(y / cell));
    const auto candidates = [&](long c, long r, auto&& each) {
        if (c < 0 || r < 0 || c >= static_cast<long>(m_counts.cols) || r >= static_cast<long>(m_counts.rows)) return;
        const std::size_t index = static_cast<std::size_t>(r) * m_counts.cols + static_cast<std::size_t>(c);
        for (std::uint32_t e = Word(m_cells + index), end = Word(m_cells + index + 1); e < end && e < m_counts.entries; ++e)
            each(Word(m_entries + e));
    };
    std::uint32_t found = kNone;
    candidates(column, row, [&](std::uint32_t area) {
        if (found == kNone && area < m_counts.areas && Inside(area, x, y)) found = area;
    });
    if (found == kNone) {
        // Off every area: the nearest within a few kilometres (5 km is less than a cell).
        const double stretch = std::cos(latitude * 3.14159265358979 / 180);
        double best = kOffCoastMetres;
        for (long r = row - 1; r <= row + 1; ++r)
            for (long c = column - 1; c <= column + 1; ++c)
                candidates(c, r, [&](std::uint32_t area) {
                    if (area >= m_counts.areas) return;
                    const double sx = m_scale[0] * kMetresPerDegree * stretch, sy = m_scale[1] * kMetresPerDegree;
                    if (BoxSquared(m_areas + std::size_t{area} * kAreaWords + 4, x, y, sx, sy) > best * best * kSlack) return;
                    const double distance = Distance(area, x, y, stretch, best);
                    if (distance < best) best = distance, found = area;
                });
    }
    if (found == kNone) return spot;
    const std::size_t at = m_areas + std::size_t{found} * kAreaWords;
    spot.municipality = Word(at) < m_counts.municipalities ? Word(at) : kNone;
    spot.prefecture = Word(at + 1) < m_counts.prefectures ? Word(at + 1) : kNone;
    return spot;
}

// The prefecture whose name the name holds at byte at; kNone when none. Every prefecture's name
// ends in 都, 道, 府 or 県 within its first four characters: a name without one there is none.
std::uint32_t Gazetteer::PrefectureAt(std::string_view name, std::size_t at) const {
    std::size_t end = at;
    for (int k = 0; k < 4 && end < name.size(); ++k) {
        const std::size_t from = end;
        NextCodePoint(name, end);
        if (!IsAnyOf(name.substr(from, end - from), kPrefectureSuffixes)) continue;
        for (std::uint32_t p = 0; p < m_counts.prefectures; ++p)  // 京都 is no prefecture, 京都府 is
            if (name.substr(at, end - at) == Text(m_prefectures + std::size_t{p} * kPrefectureWords)) return p;
    }
    return kNone;
}

Gazetteer::Spot Gazetteer::Locate(std::string_view name, double latitude, double longitude) const {
    Spot spot;
    if (!m_data) return spot;
    // An address first: a prefecture's name, a county's perhaps, then one of its municipalities.
    if (const std::uint32_t p = PrefectureAt(name, 0); p != kNone) {
        std::string_view rest = name.substr(Prefecture(p).name.size());
        std::string reading;
        Spot within{kNone, p};
        for (int county = 0; county < 2; ++county) {
            // The municipality's name matched alone, not a longer word, so the place is its own.
            std::uint32_t chosen = kNone;
            if (MatchMunicipality(rest, 0, within, latitude, longitude, reading, &chosen) > 0 && PrefectureOf(chosen) == p)
                return {chosen, p};
            const std::size_t gun = rest.find("郡");
            if (gun == std::string_view::npos || gun > 8 * 3) break;
            rest = rest.substr(gun + std::string_view("郡").size());
        }
        spot = At(latitude, longitude);
        if (spot.prefecture != p) spot = within;  // the address's prefecture, the point elsewhere
        return spot;
    }
    return At(latitude, longitude);
}

std::size_t Gazetteer::MatchMunicipality(std::string_view name, std::size_t at, const Spot& spot, double latitude, double longitude,
                                         std::string& reading, std::uint32_t* chosen) const {
    // Every municipality's name ends in 市, 町, 村 or 区: only the ends just past one are looked
    // up, with the number of characters up to each.
    std::size_t ends[16], characters[16], count = 0;
    // Most names hold none of them: a byte that ends one is looked for first, one byte at a time.
    const std::size_t window = std::min(name.size(), at + m_longestMunicipality + 3);
    bool closing = false;
    for (std::size_t b = at; b < window && !closing; ++b)
        for (const std::string_view suffix : kSuffixes) closing = closing || name[b] == suffix.back();
    if (!closing) return 0;
    std::size_t i = at;
    for (std::size_t read = 1; i < name.size() && i - at < m_longestMunicipality && count < 16; ++read) {
        const std::size_t from = i;
        NextCodePoint(name, i);
        if (IsAnyOf(name.substr(from, i - from), kSuffixes)) {
            ends[count] = i;
            characters[count++] = read;
        }
    }
    const auto nameOf = [&](std::uint32_t m) { return Text(m_municipalities + std::size_t{m} * kMunicipalityWords); };
    for (std::size_t k = count; k-- > 0;) {
        if (characters[k] < 2 || (characters[k] == 2 && at > 0)) break;  // two characters at the start only, never one
        const std::string_view key = name.substr(at, ends[k] - at);
        std::uint32_t low = 0, high = m_counts.municipalities;
        while (low < high) {
            const std::uint32_t middle = low + (high - low) / 2;
            if (nameOf(middle) < key)
                low = middle + 1;
            else
                high = middle;
        }
        // Of those so named: the spot's own, else the nearest of its prefecture, else the nearest.
        std::uint32_t best = kNone;
        bool bestInPrefecture = false;
        double bestDistance = HUGE_VAL;
        for (std::uint32_t m = low; m < m_counts.municipalities && nameOf(m) == key; ++m) {
            if (m == spot.municipality) {
                best = m;
                break;
            }
            double lat, lon;
            Centre(m, lat, lon);
            const bool inPrefecture = PrefectureOf(m) == spot.prefecture;
            const double distance = ::Distance(latitude, longitude, lat, lon);
            if (best == kNone || (inPrefecture && !bestInPrefecture) || (inPrefecture == bestInPrefecture && distance < bestDistance))
                best = m, bestInPrefecture = inPrefecture, bestDistance = distance;
        }
        if (best == kNone) continue;
        reading.assign(Municipality(best).reading);
        if (chosen) *chosen = best;
        return key.size();
    }
    return 0;
}

std::size_t Gazetteer::MatchTown(std::string_view name, std::size_t at, const Spot& spot, std::string& reading) const {
    if (spot.municipality == kNone) return 0;
    std::uint32_t count = 0;
    const std::uint32_t first = FirstTown(spot.municipality, count);
    if (count == 0 || first > m_counts.towns || count > m_counts.towns - first) return 0;
    // The ends of the characters from at, longest first.
    std::size_t ends[kLongestTown / 3 + 1], n = 0;
    for (std::size_t i = at; i < name.size() && i - at < kLongestTown && n < std::size(ends);) {
        NextCodePoint(name, i);
        ends[n++] = i;
    }
    const auto lowerBound = [&](std::string_view key, std::uint32_t low, std::uint32_t high) {
        while (low < high) {
            const std::uint32_t middle = low + (high - low) / 2;
            if (Text(m_towns + std::size_t{middle} * kTownWords) < key)
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    };
    if (n == 0) return 0;
    // The towns starting with the first character: most names' characters start none.
    const std::string_view character = name.substr(at, ends[0] - at);
    const std::uint32_t from = lowerBound(character, first, first + count);
    const std::uint32_t to = lowerBound(std::string(character) + '\xFF', from, first + count);
    for (std::size_t k = n; from < to && k-- > 0;) {
        // Two characters at the start only (inside, a part of a word), one only as the whole name.
        if ((k == 1 && at > 0) || (k == 0 && (at > 0 || ends[0] < name.size()))) break;
        const std::string_view key = name.substr(at, ends[k] - at);
        const std::uint32_t low = lowerBound(key, from, to);
        if (low < to && Town(low).name == key) {
            reading.assign(Town(low).reading);
            return key.size();
        }
    }
    return 0;
}

std::size_t Gazetteer::MatchAt(std::string_view name, std::size_t at, const Spot& spot, double latitude, double longitude,
                               std::string& reading) const {
    if (!m_data || at >= name.size()) return 0;
    std::size_t best = 0;
    // A prefecture only where an address would name it, at the start.
    if (const std::uint32_t p = at == 0 ? PrefectureAt(name, at) : kNone; p != kNone) {
        const Named prefecture = Prefecture(p);
        best = prefecture.name.size();
        reading.assign(prefecture.reading);
    }
    std::string found;
    std::uint32_t municipality = kNone;
    if (const std::size_t length = MatchMunicipality(name, at, spot, latitude, longitude, found, &municipality); length > best) {
        best = length;
        reading.swap(found);
    }
    // A town of the point's municipality before a municipality elsewhere of the same name.
    if (const std::size_t length = MatchTown(name, at, spot, found);
        length > best || (length == best && length > 0 && municipality != spot.municipality)) {
        best = length;
        reading.swap(found);
    }
    return best;
}

std::string_view Gazetteer::ClosingReading(const Spot& spot, bool village) const {
    if (!m_data || spot.prefecture >= m_counts.prefectures) return {};
    const std::uint32_t usage = Word(m_prefectures + std::size_t{spot.prefecture} * kPrefectureWords + 4);
    if (village) return usage & 2 ? "ｿﾝ" : "ﾑﾗ";
    return usage & 1 ? "ﾁｮｳ" : "ﾏﾁ";
}
