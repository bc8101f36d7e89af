// GeoJSON: the Point and MultiPoint features of a FeatureCollection or a single Feature, and a
// map service's saved-places export (names in Title or Location."Business Name"); written as a
// FeatureCollection of Points.
#include <cmath>

#include <nlohmann/json.hpp>

#include "maps/Format.h"
#include "maps/LineIndex.h"
#include "maps/MapDocumentText.h"
#include "maps/MapError.h"
#include "maps/PlaceCollector.h"

using nlohmann::json;

namespace {
const json* Member(const json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::string StringMember(const json& object, const char* key) {
    const json* value = Member(object, key);
    return value && value->is_string() ? value->get<std::string>() : std::string();
}

const json* Path(const json& object, const char* key, const char* inner) {
    const json* outer = Member(object, key);
    return outer ? Member(*outer, inner) : nullptr;
}

std::string NameOf(const json& properties) {
    for (const char* key : {"name", "Title"}) {
        std::string name = StringMember(properties, key);
        if (!name.empty()) return name;
    }
    for (const auto& [outer, inner] : {std::pair{"Location", "Business Name"}, std::pair{"location", "name"}}) {
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

std::string Shown(const json* value) {
    if (!value) return {};
    return value->is_string() ? value->get<std::string>() : value->dump();
}

class FeatureReader {
public:
    explicit FeatureReader(PlaceCollector& places) : m_places(places) {}

    void Read(const json& feature) {
        ++m_number;
        const std::string origin = "地物 " + std::to_string(m_number);
        const json* properties = Member(feature, "properties");
        const json noProperties = json::object();
        const json& props = properties ? *properties : noProperties;

        Place common;
        common.origin = origin;
        common.name = NameOf(props);
        common.reading = StringMember(props, "reading");
        if (const json* digits = Member(props, "digits"); digits && !digits->is_null()) m_places.SetDigits(common, Shown(digits));

        std::vector<const json*> positions;
        const json* geometry = Member(feature, "geometry");
        const std::string type = geometry ? StringMember(*geometry, "type") : std::string();
        const json* coordinates = geometry ? Member(*geometry, "coordinates") : nullptr;
        if (type == "Point") {
            if (coordinates) positions.push_back(coordinates);
        } else if (type == "MultiPoint" && coordinates && coordinates->is_array()) {
            for (const json& position : *coordinates) positions.push_back(&position);
        } else if (geometry && !geometry->is_null()) {
            return;  // a line or an area: no place
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
            if (positions.size() > 1 && !place.name.empty()) place.name += " " + std::to_string(++number);
            const bool pair = position->is_array() && position->size() >= 2;
            Add(std::move(place), pair ? &(*position)[1] : nullptr, pair ? &(*position)[0] : nullptr);
        }
    }

private:
    static bool IsZero(const json& position) {
        return position.is_array() && position.size() >= 2 && position[0].is_number() && position[1].is_number() &&
               position[0].get<double>() == 0 && position[1].get<double>() == 0;
    }

    void Add(Place place, const json* latitude, const json* longitude) {
        if (!latitude && !longitude) return m_places.RefuseWithoutCoordinates(place.origin);
        place.latitude = Degrees(latitude);
        place.longitude = Degrees(longitude);
        m_places.AddParsed(std::move(place), Shown(latitude), Shown(longitude));
    }

    PlaceCollector& m_places;
    int m_number = 0;
};

void ReadGeoJson(const std::string& bytes, PlaceCollector& places) {
    FeatureReader reader(places);
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
        throw MapError(places.FileName() + ": " + std::to_string(LineIndex::LineAt(bytes, offset)) +
                       " 行目: JSON として読めません");
    } catch (const json::out_of_range&) {
        // A number too large for a double (1e400): the parser does not say where.
        throw MapError(places.FileName() + ": JSON として読めません（大きすぎる数があります）");
    }
    const std::string type = StringMember(document, "type");
    if (type == "Feature")
        reader.Read(document);
    else if (type != "FeatureCollection")
        throw MapError(places.FileName() + ": GeoJSON の FeatureCollection でも Feature でもありません");
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions&) {
    PlaceCollector places(fileName);
    ReadGeoJson(bytes, places);
    return places.Finish();
}

// At most seven decimals: the shortest text of the rounded double is exactly those digits.
double Rounded(double value) {
    if (!std::isfinite(value)) throw MapError("座標が数ではない地点は書けません");
    return std::round(value * 1e7) / 1e7;
}

void Write(CFile& file, const Place* places, std::size_t count, const WriteOptions&) {
    std::string out = "{\"type\": \"FeatureCollection\", \"features\": [";
    for (std::size_t i = 0; i < count; ++i) {
        const Place& p = places[i];
        nlohmann::ordered_json feature = {
            {"type", "Feature"},
            {"geometry", {{"type", "Point"}, {"coordinates", {Rounded(p.longitude), Rounded(p.latitude)}}}},
            {"properties", {{"name", p.name}, {"reading", p.reading}, {"digits", p.digits},
                            {"datumShift", DatumMethodName(p.method)}}}};
        out += (i ? ",\n" : "\n") + feature.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    WriteDocumentBytes(file, out + (count == 0 ? "]}\n" : "\n]}\n"));
}
}  // namespace

extern const Format kGeoJsonFormat = {
    "geojson", "GeoJSON", {".geojson", ".json"}, FormatDatum::wgs84, false, 0, false, nullptr, Read, Write};
