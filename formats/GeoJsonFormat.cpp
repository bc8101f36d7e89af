// GeoJSON: the Point and MultiPoint features of a FeatureCollection, a single Feature or a bare
// geometry, GeometryCollections included, with --all-points the vertices of lines and polygons
// too, and a map service's saved-places export (names in Title or Location."Business Name");
// written as a FeatureCollection of Points.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

#include "places/EachPlace.h"
#include "places/Format.h"
#include "text/LineIndex.h"
#include "formats/MapDocumentText.h"
#include "text/MapError.h"
#include "places/PlaceCollector.h"
#include "places/PlaceKeys.h"
#include "text/SafeText.h"
#include "formats/FormatOptions.h"

using nlohmann::json;

namespace {
const json* Member(const json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::string StringMember(const json& object, std::string_view key) {
    const json* value = Member(object, key);
    return value && value->is_string() ? value->get<std::string>() : std::string();
}

const json* Path(const json& object, std::string_view key, std::string_view inner) {
    const json* outer = Member(object, key);
    return outer ? Member(*outer, inner) : nullptr;
}

// The first of keys that holds a text that is not empty.
template <std::size_t N>
std::string FirstOf(const json& properties, const std::string_view (&keys)[N]) {
    for (const std::string_view key : keys) {
        std::string text = StringMember(properties, key);
        if (!text.empty()) return text;
    }
    return {};
}

std::string NameOf(const json& properties) {
    if (std::string name = FirstOf(properties, kNameKeys); !name.empty()) return name;
    for (const auto& [outer, inner] : kSavedPlaceNameKeys) {
        const json* value = Path(properties, outer, inner);
        if (value && value->is_string() && !value->get_ref<const std::string&>().empty()) return value->get<std::string>();
    }
    return {};
}

// A number, or a number written as a string (the export writes its Geo Coordinates so); NaN else.
double Degrees(const json* value) {
    if (value && value->is_number()) return value->get<double>();
    double degrees = NAN;
    if (value && value->is_string() && PlaceCollector::ParseDegrees(value->get_ref<const std::string&>(), degrees))
        return degrees;
    return NAN;
}

// A value as a message quotes it: a text as it is (the message cuts it), anything else as JSON,
// written without recursion and only as far as a message shows (dump() recurses once a level,
// and a value nested 100,000 deep ends the stack).
std::string Shown(const json* value) {
    constexpr std::size_t kShown = 80;
    if (!value) return {};
    if (value->is_string()) return value->get<std::string>();
    if (!value->is_structured()) return value->dump();
    std::string out;
    struct Level {
        json::const_iterator at, end;
        bool object, first;
    };
    std::vector<Level> levels;
    const auto open = [&](const json& item) {
        if (!item.is_structured()) {
            out += item.dump();
            return;
        }
        out += item.is_object() ? '{' : '[';
        levels.push_back({item.cbegin(), item.cend(), item.is_object(), true});
    };
    open(*value);
    while (!levels.empty() && out.size() < kShown) {
        Level& level = levels.back();
        if (level.at == level.end) {
            out += level.object ? '}' : ']';
            levels.pop_back();
            continue;
        }
        if (!level.first) out += ',';
        level.first = false;
        if (level.object) out += json(level.at.key()).dump() + ':';
        const json& item = *level.at++;
        open(item);  // may add a level: level is not used after
    }
    return levels.empty() ? out : out + "…";
}

// Calls visit(i) for each byte outside JSON strings; visit gives the index to go on from.
template <typename Visit>
void ScanOutsideStrings(const std::string& bytes, Visit visit) {
    bool inString = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else {
            i = visit(i);
        }
    }
}

// A number too large for a double ("1e400") ends nlohmann's parse with an exception, and so the
// whole input. Each is made a text before parsing ("1e400" → "\"1e400\""), which the reader
// refuses as the point's coordinate. No line break is added, so lines stay those of the file.
void QuoteOverflowingNumbers(std::string& bytes) {
    bool quoted = false;
    std::string out;
    std::size_t copied = 0;
    ScanOutsideStrings(bytes, [&](std::size_t i) {
        const char c = bytes[i];
        if (c != '-' && (c < '0' || c > '9')) return i;
        std::size_t end = i;
        bool exponent = false;
        while (end < bytes.size() && std::strchr("0123456789+-.eE", bytes[end]) && bytes[end] != '\0') {
            exponent = exponent || bytes[end] == 'e' || bytes[end] == 'E';
            ++end;
        }
        // Only an exponent or more than 308 digits can overflow.
        if ((exponent || end - i > 308) && std::isinf(std::strtod(bytes.substr(i, end - i).c_str(), nullptr))) {
            out.append(bytes, copied, i - copied);
            quoted = true;
            out += '"';
            out.append(bytes, i, end - i);
            out += '"';
            copied = end;
        }
        return end - 1;
    });
    if (quoted) {
        out.append(bytes, copied, std::string::npos);
        bytes.swap(out);
    }
}

// Arrays and objects nested deeper than this are refused before parsing: each level costs the
// parser about 70 bytes, so 30 MB of "[" took 2.2 GB. Deep enough for a coordinate nested 100,000
// deep to be read and refused as a point, as before.
constexpr std::size_t kMaxNesting = 200000;

void CheckNesting(const std::string& bytes, const std::string& fileName) {
    std::size_t depth = 0;
    ScanOutsideStrings(bytes, [&](std::size_t i) {
        const char c = bytes[i];
        if (c == '[' || c == '{') {
            if (++depth > kMaxNesting)
                throw MapError({MessageId::jsonTooDeep, fileName, LineIndex::LineAt(bytes, i), kMaxNesting});
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
        return i;
    });
}

// How deep a position lies in the coordinates of each type that holds vertices.
int PositionDepth(const std::string& type) {
    if (type == "Point") return 0;
    if (type == "MultiPoint" || type == "LineString") return 1;
    if (type == "MultiLineString" || type == "Polygon") return 2;
    if (type == "MultiPolygon") return 3;
    return -1;
}

// GeometryCollections nested deeper than this are no map's; the nesting check bounds the rest.
constexpr int kMaxCollections = 64;

class FeatureReader {
public:
    FeatureReader(PlaceCollector& places, bool allPoints) : m_places(places), m_allPoints(allPoints) {}

    // Vertices of lines and areas passed over (none with --all-points).
    int Passed() const { return m_passed; }

    void Read(const json& feature) { Read(Member(feature, "properties"), Member(feature, "geometry")); }

    // A Point or a MultiPoint standing alone: a feature without properties.
    void ReadGeometry(const json& geometry) { Read(nullptr, &geometry); }

private:
    void Read(const json* properties, const json* geometry) {
        ++m_number;
        const PlaceOrigin origin = m_places.PlainWords() ? PlaceOrigin::Entry(m_number) : PlaceOrigin::Feature(m_number);
        const json noProperties = json::object();
        const json& props = properties ? *properties : noProperties;

        Place common;
        common.SetOrigin(origin);
        common.SetName(NameOf(props));
        common.SetReading(FirstOf(props, kReadingKeys));
        for (const std::string_view key : kDigitsKeys)
            if (const json* digits = Member(props, key); digits && !digits->is_null()) {
                m_places.SetDigits(common, Shown(digits));
                break;
            }

        std::vector<const json*> positions;
        if (geometry && !geometry->is_null()) {
            bool known = false;
            const int passedBefore = m_passed;
            Collect(*geometry, 0, positions, known);
            // A type of no positions, or lines and areas passed over: no place.
            if (!known || (positions.empty() && m_passed > passedBefore)) return;
        }
        // The export leaves some geometries at [0, 0] or out and keeps the place in its Location.
        const json* saved = Path(props, "Location", "Geo Coordinates");
        if (saved && (positions.empty() || (positions.size() == 1 && IsZero(*positions[0])))) {
            Add(common, Member(*saved, "Latitude"), Member(*saved, "Longitude"));
            return;
        }
        if (positions.empty()) return m_places.RefuseWithoutCoordinates(origin);
        int number = 0;
        for (const json* position : positions) {
            Place place = common;
            // As in KML: the points of one feature are told apart by number.
            if (positions.size() > 1 && place.HasName()) place.SetName(place.Name() + " " + std::to_string(++number));
            const bool pair = position->is_array() && position->size() >= 2;
            Add(std::move(place), pair ? &(*position)[1] : nullptr, pair ? &(*position)[0] : nullptr);
        }
    }

    // The positions of a geometry: a Point's, a MultiPoint's, a line's or an area's vertices (these
    // with --all-points, else counted), a GeometryCollection's members'. known: a type of these.
    void Collect(const json& geometry, int level, std::vector<const json*>& positions, bool& known) {
        const std::string type = StringMember(geometry, "type");
        if (type == "GeometryCollection") {
            const json* members = Member(geometry, "geometries");
            known = true;
            if (level >= kMaxCollections || !members || !members->is_array()) return;
            for (const json& member : *members) Collect(member, level + 1, positions, known);
            return;
        }
        const int depth = PositionDepth(type);
        const json* coordinates = Member(geometry, "coordinates");
        if (depth < 0) return;
        known = true;
        if (!coordinates) return;
        const bool points = type == "Point" || type == "MultiPoint";
        // The arrays down to the positions, without recursion.
        std::vector<const json*> level0{coordinates}, next;
        for (int d = 0; d < depth; ++d) {
            next.clear();
            for (const json* array : level0)
                if (array->is_array())
                    for (const json& item : *array) next.push_back(&item);
            level0.swap(next);
        }
        if (points || m_allPoints)
            positions.insert(positions.end(), level0.begin(), level0.end());
        else
            m_passed += static_cast<int>(level0.size());
    }

    static bool IsZero(const json& position) {
        return position.is_array() && position.size() >= 2 && position[0].is_number() && position[1].is_number() &&
               position[0].get<double>() == 0 && position[1].get<double>() == 0;
    }

    void Add(Place place, const json* latitude, const json* longitude) {
        if (!latitude && !longitude) return m_places.RefuseWithoutCoordinates(place.Origin());
        place.latitude = Degrees(latitude);
        place.longitude = Degrees(longitude);
        m_places.AddParsed(std::move(place), Shown(latitude), Shown(longitude));
    }

    PlaceCollector& m_places;
    bool m_allPoints;
    int m_number = 0;
    int m_passed = 0;
};

// Returns how many vertices of lines and areas were passed over.
int ReadGeoJson(std::string& bytes, bool allPoints, PlaceCollector& places) {
    CheckNesting(bytes, places.FileName());
    FeatureReader reader(places, allPoints);
    QuoteOverflowingNumbers(bytes);
    std::string topKey;
    // Each feature of the collection is read as soon as it is complete and then dropped, so the
    // whole document never stands in memory as values.
    const json::parser_callback_t takeFeatures = [&](int depth, json::parse_event_t event, json& parsed) {
        if (depth == 1 && event == json::parse_event_t::key) topKey = parsed.get<std::string>();
        if (depth == 2 && event == json::parse_event_t::object_end && topKey == "features") {
            reader.Read(parsed);
            return false;
        }
        return true;
    };
    json document;
    try {
        document = json::parse(bytes, takeFeatures);
    } catch (const json::parse_error& error) {
        const std::size_t offset = error.byte == 0 ? 0 : error.byte - 1;
        throw MapError({MessageId::notJson, places.FileName(), LineIndex::LineAt(bytes, offset)});
    } catch (const json::out_of_range&) {
        // A number too large for a double (1e400): the parser does not say where.
        throw MapError({MessageId::jsonNumberTooLarge, places.FileName()});
    }
    const std::string type = StringMember(document, "type");
    if (type == "Feature")
        reader.Read(document);
    else if (PositionDepth(type) >= 0 || type == "GeometryCollection")
        reader.ReadGeometry(document);
    else if (type != "FeatureCollection")
        throw MapError({MessageId::notGeoJson, places.FileName()});
    return reader.Passed();
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    PlaceCollector places(fileName, options);
    const int passed = ReadGeoJson(bytes, options.allPoints, places);
    return places.Finish(passed);
}

// At most seven decimals, as the other formats write them, without the zeros at the end: the
// text is written here, since the shortest text of a rounded double may still be
// 144.01886819999999.
std::string Number(double value) {
    std::string text = CoordinateText(value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

std::string Text(const std::string& text) { return json(text).dump(-1, ' ', false, json::error_handler_t::replace); }

void Write(ByteSink& sink, PlaceSource& places, const WriteOptions&) {
    std::string out = "{\"type\": \"FeatureCollection\", \"features\": [";
    std::size_t i = 0;
    ForEachPlace(places, [&](const Place& p) {
        out += (i++ ? ",\n" : "\n");
        out += "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[" + Number(p.longitude) + "," +
               Number(p.latitude) + "]},\"properties\":{\"name\":" + Text(p.Name()) + ",\"reading\":" + Text(p.Reading()) +
               ",\"digits\":" + Text(p.Digits()) + ",\"datumShift\":\"" + DatumMethodName(p.Method()) + "\"}}";
        WritePart(sink, out);
    });
    out += i == 0 ? "]}\n" : "\n]}\n";
    WritePart(sink, out, true);
}
}  // namespace

namespace {
constexpr Format Row() {
    Format row{};
    row.name = "geojson";
    row.title = "GeoJSON";
    row.extensions[0] = ".geojson";
    row.extensions[1] = ".json";
    row.datum = FormatDatum::wgs84;
    row.read = Read;
    row.write = Write;
    row.options[0] = &kAllPointsOption;
    return row;
}
}  // namespace

extern const Format kGeoJsonFormat = Row();
