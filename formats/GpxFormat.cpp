// GPX 1.1 and 1.0: waypoints, and route and track points when asked for; written as GPX 1.1.
#include "places/EachPlace.h"
#include "places/Format.h"
#include "formats/MapDocumentText.h"
#include "text/MapError.h"
#include "text/MapText.h"
#include "places/PlaceCollector.h"
#include "formats/XmlSource.h"
#include "formats/FormatOptions.h"

namespace {
// Our own elements, inside a waypoint's <extensions>: the reading, the digit string and how the
// datum was shifted. <cmt> and <desc> keep copies for other programs.
constexpr char kNamespace[] = "urn:quorvel:gpx:1";

// Whether element is of our namespace: its prefix (or none) declared so on it or an ancestor.
bool IsOurs(pugi::xml_node element) {
    const std::string_view name = element.name();
    const std::size_t colon = name.find(':');
    const std::string declaration = colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(name.substr(0, colon));
    for (pugi::xml_node node = element; node; node = node.parent())
        if (const pugi::xml_attribute uri = node.attribute(declaration.c_str())) return std::string_view(uri.value()) == kNamespace;
    return false;
}

struct Document {
    const XmlSource& source;
    // A document of this program before the extensions: its <cmt> is the reading. In any other,
    // <cmt> is a comment ("ﾗﾝﾁ" on 東京タワー is no reading of it).
    bool oursWithoutExtensions;
};

void AddPoint(const Document& document, pugi::xml_node point, PlaceCollector& places) {
    Place place;
    place.SetOrigin(document.source.Origin(point));
    bool hasReading = false, hasDigits = false;
    std::string name, reading, digits;  // given to the place at once
    for (pugi::xml_node child = point.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const std::string_view element = XmlSource::LocalName(child);
        if (element == "name") {
            name = XmlSource::Text(child);
        } else if (element == "cmt" && document.oursWithoutExtensions && !hasReading) {
            reading = XmlSource::Text(child);
        } else if (element == "desc" && !hasDigits) {
            digits = PhoneDigits(XmlSource::Text(child));
        } else if (element == "extensions") {
            for (pugi::xml_node ours = child.first_child(); ours; ours = ours.next_sibling()) {
                if (ours.type() != pugi::node_element || !IsOurs(ours)) continue;
                if (XmlSource::Is(ours, "reading")) {
                    reading = XmlSource::Text(ours);
                    hasReading = true;
                } else if (XmlSource::Is(ours, "digits")) {
                    places.SetDigits(place, XmlSource::Text(ours));  // with its warning
                    digits = place.Digits();
                    hasDigits = true;
                }
            }
        }
    }
    place.SetTexts(std::move(name), std::move(reading), std::move(digits));
    std::string latitude, longitude;  // for coordinates written with references
    places.Add(std::move(place), XmlSource::Attribute(point, "lat", latitude), XmlSource::Attribute(point, "lon", longitude));
}

// The points of a route (rtept) or of a track's segments (trkpt), in order.
int ReadPath(const Document& source, pugi::xml_node path, bool read, PlaceCollector& places) {
    int passed = 0;
    const bool track = XmlSource::Is(path, "trk");
    for (pugi::xml_node child = path.first_child(); child; child = child.next_sibling()) {
        if (track && XmlSource::Is(child, "trkseg")) {
            for (pugi::xml_node point = child.first_child(); point; point = point.next_sibling()) {
                if (!XmlSource::Is(point, "trkpt")) continue;
                if (read) AddPoint(source, point, places);
                ++passed;
            }
        } else if (!track && XmlSource::Is(child, "rtept")) {
            if (read) AddPoint(source, child, places);
            ++passed;
        }
    }
    return read ? 0 : passed;
}

// Returns how many route and track points were passed over (none with options.allPoints).
int ReadGpx(const XmlSource& xml, const ReadOptions& options, PlaceCollector& places) {
    for (const Message& warning : xml.Warnings()) places.Warn(warning);
    pugi::xml_node root = xml.Root();
    if (!XmlSource::Is(root, "gpx"))
        throw MapError({MessageId::notGpx, places.FileName(), root.name()});
    std::size_t waypoints = 0;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling())
        waypoints += XmlSource::Is(child, "wpt");
    places.Reserve(waypoints);
    const bool ours = std::string_view(root.attribute("creator").value()) == "Quorvel";
    const Document source{xml, ours && std::string_view(root.attribute("xmlns:quorvel").value()).empty()};
    int passed = 0;
    // Nothing is taken out of the document as it is read: its compact nodes would then point far
    // (the root's first child, that child's last sibling), and each such pointer costs an entry of
    // a table that never shrinks, more than the nodes given back. pugixml frees the whole document
    // page by page, without walking it, so a part nested 200,000 deep costs no stack.
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        if (XmlSource::Is(child, "wpt"))
            AddPoint(source, child, places);
        else if (XmlSource::Is(child, "rte") || XmlSource::Is(child, "trk"))
            passed += ReadPath(source, child, options.allPoints, places);
    }
    return passed;
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    PlaceCollector places(fileName, options);
    const int passedOver = ReadGpx(XmlSource(bytes, fileName), options, places);
    return places.Finish(passedOver, MessageId::routePoints);
}

void Write(ByteSink& sink, PlaceSource& places, const WriteOptions&) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"Quorvel\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:quorvel=\"" +
        std::string(kNamespace) +
        "\">\n"
        "  <metadata><desc>" +
        XmlText(MethodSummary(places)) + "</desc></metadata>\n";
    ForEachPlace(places, [&](const Place& p) {
        out += "  <wpt lat=\"";
        AppendCoordinate(out, p.latitude);
        out += "\" lon=\"";
        AppendCoordinate(out, p.longitude);
        out += "\">\n    <name>";
        AppendXmlText(out, p.Name());
        out += "</name>\n";
        const std::string reading = p.Reading();
        const std::string digits = p.Digits();
        const auto element = [&out](const char* open, const std::string& text, const char* close) {
            out += open;
            AppendXmlText(out, text);
            out += close;
        };
        if (!reading.empty()) element("    <cmt>", reading, "</cmt>\n");
        if (!digits.empty()) element("    <desc>", digits, "</desc>\n");
        out += "    <extensions>";
        if (!reading.empty()) element("<quorvel:reading>", reading, "</quorvel:reading>");
        if (!digits.empty()) element("<quorvel:digits>", digits, "</quorvel:digits>");
        out += "<quorvel:datumShift>";
        out += DatumMethodName(p.Method());
        out += "</quorvel:datumShift></extensions>\n  </wpt>\n";
        WritePart(sink, out);
    });
    out += "</gpx>\n";
    WritePart(sink, out, true);
}
}  // namespace

namespace {
constexpr Format Row() {
    Format row{};
    row.name = "gpx";
    row.title = "GPX";
    row.extensions[0] = ".gpx";
    row.datum = FormatDatum::wgs84;
    row.read = Read;
    row.write = Write;
    row.options[0] = &kAllPointsOption;
    return row;
}
}  // namespace

extern const Format kGpxFormat = Row();
