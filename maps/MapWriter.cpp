#include "maps/MapWriter.h"

#include <cmath>
#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

#include "maps/MapError.h"

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";

// What each method stands for, once in a document's description.
std::string MethodSummary(const std::vector<Place>& places) {
    std::map<DatumMethod, int> counts;
    for (const Place& place : places) ++counts[place.method];
    std::string summary = "日本測地系から WGS 84 への換算:";
    for (const auto& [method, count] : counts) {
        summary += std::string(" ") + DatumMethodName(method) + " " + std::to_string(count) + " 地点";
    }
    return summary + " (grid: 国土地理院の地域パラメータ TKY2JGD 2.1.2、helmert: EPSG:15484、none: 換算なし)";
}

std::string Coordinate(double value) {
    if (!std::isfinite(value)) throw MapError("座標が数ではない地点は書けません");
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.7f", value);
    return buffer;
}

// XML 1.0 text: markup escaped; control characters it does not allow become U+FFFD.
std::string Xml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F) out += kReplacement;
            else out += c;
        }
    }
    return out;
}

std::string Gpx(const std::vector<Place>& places) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<gpx version=\"1.1\" creator=\"Quorvel\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                      "  <metadata><desc>" + Xml(MethodSummary(places)) + "</desc></metadata>\n";
    for (const Place& p : places) {
        out += "  <wpt lat=\"" + Coordinate(p.latitude) + "\" lon=\"" + Coordinate(p.longitude) + "\">\n";
        out += "    <name>" + Xml(p.name) + "</name>\n";
        if (!p.reading.empty()) out += "    <cmt>" + Xml(p.reading) + "</cmt>\n";
        if (!p.digits.empty()) out += "    <desc>" + Xml(p.digits) + "</desc>\n";
        out += std::string("    <!-- datumShift: ") + DatumMethodName(p.method) + " -->\n  </wpt>\n";
    }
    return out + "</gpx>\n";
}

std::string Kml(const std::vector<Place>& places) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
                      "  <description>" + Xml(MethodSummary(places)) + "</description>\n";
    for (const Place& p : places) {
        out += "  <Placemark>\n    <name>" + Xml(p.name) + "</name>\n";
        std::string description = p.reading;
        if (!p.digits.empty()) description += (description.empty() ? "" : " ") + p.digits;
        if (!description.empty()) out += "    <description>" + Xml(description) + "</description>\n";
        out += "    <ExtendedData>\n";
        if (!p.reading.empty()) out += "      <Data name=\"reading\"><value>" + Xml(p.reading) + "</value></Data>\n";
        if (!p.digits.empty()) out += "      <Data name=\"digits\"><value>" + Xml(p.digits) + "</value></Data>\n";
        out += std::string("      <Data name=\"datumShift\"><value>") + DatumMethodName(p.method) + "</value></Data>\n";
        out += "    </ExtendedData>\n    <Point><coordinates>" + Coordinate(p.longitude) + "," +
               Coordinate(p.latitude) + "</coordinates></Point>\n  </Placemark>\n";
    }
    return out + "</Document>\n</kml>\n";
}

// At most seven decimals: the shortest text of the rounded double is exactly those digits.
double Rounded(double value) {
    if (!std::isfinite(value)) throw MapError("座標が数ではない地点は書けません");
    return std::round(value * 1e7) / 1e7;
}

std::string GeoJson(const std::vector<Place>& places) {
    std::string out = "{\"type\": \"FeatureCollection\", \"features\": [";
    for (std::size_t i = 0; i < places.size(); ++i) {
        const Place& p = places[i];
        nlohmann::ordered_json feature = {
            {"type", "Feature"},
            {"geometry", {{"type", "Point"}, {"coordinates", {Rounded(p.longitude), Rounded(p.latitude)}}}},
            {"properties", {{"name", p.name}, {"reading", p.reading}, {"digits", p.digits},
                            {"datumShift", DatumMethodName(p.method)}}}};
        out += (i ? ",\n" : "\n") + feature.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    return out + (places.empty() ? "]}\n" : "\n]}\n");
}

std::string CsvField(const std::string& text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string Csv(const std::vector<Place>& places, bool bom) {
    std::string out = bom ? "\xEF\xBB\xBF" : "";
    out += "name,reading,latitude,longitude,digits\r\n";
    for (const Place& p : places)
        out += CsvField(p.name) + "," + CsvField(p.reading) + "," + Coordinate(p.latitude) + "," +
               Coordinate(p.longitude) + "," + CsvField(p.digits) + "\r\n";
    return out;
}
}  // namespace

std::string WriteMapDocument(MapFormat format, const std::vector<Place>& places, const MapWriteOptions& options) {
    switch (format) {
    case MapFormat::gpx:
        return Gpx(places);
    case MapFormat::kml:
        return Kml(places);
    case MapFormat::geojson:
        return GeoJson(places);
    case MapFormat::csv:
        break;
    }
    return Csv(places, options.bom);
}
