// A list of places as a driver pastes it, one a line: a geo: URI (RFC 5870), a map link that holds
// coordinates (Google Maps, Apple Maps, OpenStreetMap, 地理院地図) or coordinates alone, each
// optionally followed by a name. Read only: recognised by its content, whatever its name.
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "text/DegreeText.h"
#include "places/Format.h"
#include "text/MapText.h"
#include "places/PlaceCollector.h"
#include "text/SafeText.h"
#include "text/TextDecoding.h"

namespace {
std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool IsLink(std::string_view line) {
    const std::string start = Lower(line.substr(0, 8));
    return start.compare(0, 4, "geo:") == 0 || start.compare(0, 7, "http://") == 0 || start.compare(0, 8, "https://") == 0;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// %XX and "+" decoded: a link's coordinates are often written %2C.
std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

// "lat,lon" (or "lat/lon" with slash) at the start of text, up to the first character that can
// end it: both texts when they read as coordinates.
bool PairAt(std::string_view text, const char* ends, std::string& latitude, std::string& longitude) {
    std::string_view pair = text.substr(0, text.find_first_of(ends));
    // A third number (an altitude, a zoom) is no part of the position.
    const std::size_t comma = pair.find(',');
    if (comma != std::string_view::npos) pair = pair.substr(0, pair.find(',', comma + 1));
    return SplitCoordinatePair(Trimmed(pair), latitude, longitude);
}

// A query parameter's value (after "?" or "&", or "#" for fragments), empty when none.
std::string_view Parameter(std::string_view link, std::string_view name) {
    for (std::size_t at = link.find(name); at != std::string_view::npos; at = link.find(name, at + 1)) {
        if (at == 0 || std::string_view("?&#;").find(link[at - 1]) == std::string_view::npos) continue;
        const std::size_t value = at + name.size();
        return link.substr(value, link.find_first_of("&#", value) - value);
    }
    return {};
}

// The coordinates a link holds, in the order a link's parts are most exact.
bool LinkCoordinates(const std::string& link, std::string& latitude, std::string& longitude) {
    const std::string lower = Lower(link);
    if (lower.compare(0, 4, "geo:") == 0) {
        // geo:0,0?q=35.68,139.76(Name): a position given by its query.
        const std::string_view query = Parameter(link, "q=");
        if (!query.empty() && PairAt(query, "(&", latitude, longitude)) return true;
        return PairAt(std::string_view(link).substr(4), ";?", latitude, longitude);
    }
    // Google's place data: !3dLAT!4dLON, the place itself rather than the view.
    const std::size_t d3 = link.find("!3d"), d4 = link.find("!4d");
    if (d3 != std::string::npos && d4 != std::string::npos && d4 > d3) {
        latitude = link.substr(d3 + 3, d4 - d3 - 3);
        longitude = link.substr(d4 + 3, link.find_first_of("!?&/", d4 + 3) - d4 - 3);
        return true;
    }
    const std::string_view mlat = Parameter(link, "mlat="), mlon = Parameter(link, "mlon=");
    if (!mlat.empty() && !mlon.empty()) {
        latitude = std::string(mlat);
        longitude = std::string(mlon);
        return true;
    }
    for (const char* name : {"q=", "query=", "ll=", "sll=", "center=", "destination=", "daddr=", "coordinate=", "map="})
        if (const std::string_view value = Parameter(link, name); !value.empty()) {
            // OpenStreetMap's #map=ZOOM/LAT/LON.
            if (std::string(name) == "map=") {
                const std::size_t slash = value.find('/');
                if (slash != std::string_view::npos && PairAt(value.substr(slash + 1), "&#", latitude, longitude)) return true;
            } else if (PairAt(value, "&#(", latitude, longitude)) {
                return true;
            }
        }
    if (const std::size_t at = link.find('@'); at != std::string::npos && PairAt(std::string_view(link).substr(at + 1), "z/?", latitude, longitude))
        return true;
    // 地理院地図: #ZOOM/LAT/LON/...
    if (const std::size_t hash = link.find('#'); hash != std::string::npos) {
        const std::string_view fragment = std::string_view(link).substr(hash + 1);
        const std::size_t slash = fragment.find('/');
        if (slash != std::string_view::npos) {
            const std::string_view rest = fragment.substr(slash + 1);
            const std::size_t second = rest.find('/');
            const std::size_t end = second == std::string_view::npos ? std::string_view::npos : rest.find_first_of("/&?", second + 1);
            if (second != std::string_view::npos && SplitCoordinatePair(rest.substr(0, end), latitude, longitude)) return true;
        }
    }
    // /maps/search/LAT,LON and /maps/place/LAT,LON.
    for (const char* segment : {"/search/", "/place/", "/dir//"})
        if (const std::size_t at = link.find(segment); at != std::string::npos &&
                                                       PairAt(std::string_view(link).substr(at + std::string(segment).size()), "/?&", latitude, longitude))
            return true;
    return false;
}

// The longest start of the line, ending at a blank, that holds both coordinates; the rest is the name.
bool LeadingCoordinates(std::string_view line, std::string& latitude, std::string& longitude, std::string_view& rest) {
    for (std::size_t end = line.size(); end > 0; end = line.find_last_of(" \t", end - 1)) {
        if (end == std::string_view::npos) break;
        if (SplitCoordinatePair(line.substr(0, end), latitude, longitude)) {
            rest = Trimmed(line.substr(end));
            return true;
        }
        if (end == 0) break;
    }
    return false;
}

bool Recognise(const std::string& bytes) {
    // A link on one of the first lines that are not blank.
    std::size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int lines = 0; lines < 20 && at < bytes.size(); ++lines) {
        const std::size_t end = bytes.find('\n', at);
        const std::string_view line = Trimmed(std::string_view(bytes).substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (IsLink(line)) return true;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return false;
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    PlaceCollector places(fileName, options);
    std::vector<Message> warnings;
    const std::string text = DecodeTableText(std::move(bytes), fileName, warnings);
    for (Message& warning : warnings) places.Warn(std::move(warning));
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        const std::string_view line = Trimmed(std::string_view(text).substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 1;
        ++number;
        if (line.empty() || line.front() == '#') continue;
        Place place;
        place.SetOrigin(PlaceOrigin::Line(number));
        std::string latitude, longitude;
        std::string_view rest;
        if (IsLink(line)) {
            const std::size_t blank = line.find_first_of(" \t");
            const std::string link = Unescaped(line.substr(0, blank));
            rest = blank == std::string_view::npos ? std::string_view() : Trimmed(line.substr(blank));
            if (!LinkCoordinates(link, latitude, longitude)) {
                places.RefuseFor(place.Origin(), {MessageId::linkWithoutCoordinates, Excerpt(std::string(line.substr(0, blank)))});
                continue;
            }
        } else if (!LeadingCoordinates(line, latitude, longitude, rest)) {
            places.RefuseFor(place.Origin(), {MessageId::notLink, Excerpt(std::string(line))});
            continue;
        }
        place.SetName(std::string(rest));
        // geo:0,0?q=LAT,LON(LABEL): the label names a place the line does not.
        // Its %XX may be bytes of any encoding: those that are no UTF-8 become U+FFFD, as text
        // decoding makes them, so that every output stays valid in its encoding.
        if (const std::size_t open = line.find('('); !place.HasName() && IsLink(line) && open != std::string_view::npos) {
            std::string label = Unescaped(line.substr(open + 1, line.find(')', open) - open - 1));
            const bool bValid = FirstInvalidUtf8(label) == std::string::npos;
            if (!bValid) label = ValidUtf8(std::move(label));
            place.SetName(label);
            if (!bValid)
                places.Warn({MessageId::labelNotUtf8, fileName, Message(MessageId::placeNamed, place.Origin().Said(), Excerpt(label))});
        }
        places.AddCells(std::move(place), latitude, longitude, false);
    }
    return places.Finish();
}
}  // namespace

namespace {
// Only read, known by its content: no extension of its own, no writer.
constexpr Format Row() {
    Format row{};
    row.name = "links";
    row.title = "地図のリンクの一覧";
    row.englishTitle = "lists of map links";
    row.datum = FormatDatum::wgs84;
    row.recognise = Recognise;
    row.read = Read;
    return row;
}
}  // namespace

extern const Format kLinkListFormat = Row();
