// GPX 1.1 and 1.0: waypoints, and route and track points when asked for; written as GPX 1.1.
#include "maps/Format.h"
#include "maps/MapDocumentText.h"
#include "maps/MapError.h"
#include "maps/MapText.h"
#include "maps/PlaceCollector.h"
#include "maps/XmlSource.h"

namespace {
// Our own GPX writer puts the reading into <cmt> and the digit string into <desc>; in other
// files those hold free text, so they are taken only when they have that form.
void AddPoint(const XmlSource& source, pugi::xml_node point, PlaceCollector& places) {
    Place place;
    place.origin = source.Origin(point);
    for (pugi::xml_node child = point.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const std::string_view name = XmlSource::LocalName(child);
        if (name == "name") {
            place.name = XmlSource::Text(child);
        } else if (name == "cmt") {
            std::string text = XmlSource::Text(child);
            if (LooksLikeReading(text)) place.reading = std::move(text);
        } else if (name == "desc") {
            place.digits = PhoneDigits(XmlSource::Text(child));
        }
    }
    places.Add(std::move(place), std::string_view(point.attribute("lat").value()),
               std::string_view(point.attribute("lon").value()));
}

// The points of a route (rtept) or of a track's segments (trkpt), in order.
int ReadPath(const XmlSource& source, pugi::xml_node path, bool read, PlaceCollector& places) {
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
int ReadGpx(const XmlSource& source, const ReadOptions& options, PlaceCollector& places) {
    const pugi::xml_node root = source.Root();
    if (!XmlSource::Is(root, "gpx"))
        throw MapError(places.FileName() + ": GPX の文書ではありません（最上位の要素が <" + root.name() + ">）");
    std::size_t waypoints = 0;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling())
        waypoints += XmlSource::Is(child, "wpt");
    places.Reserve(waypoints);
    int passed = 0;
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
    PlaceCollector places(fileName);
    const int passedOver = ReadGpx(XmlSource(bytes, fileName), options, places);
    return places.Finish(passedOver);
}

void Write(CFile& file, const Place* places, std::size_t count, const WriteOptions&) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<gpx version=\"1.1\" creator=\"Quorvel\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                      "  <metadata><desc>" + XmlText(MethodSummary(places, count)) + "</desc></metadata>\n";
    for (std::size_t i = 0; i < count; ++i) {
        const Place& p = places[i];
        out += "  <wpt lat=\"" + CoordinateText(p.latitude) + "\" lon=\"" + CoordinateText(p.longitude) + "\">\n";
        out += "    <name>" + XmlText(p.name) + "</name>\n";
        if (!p.reading.empty()) out += "    <cmt>" + XmlText(p.reading) + "</cmt>\n";
        if (!p.digits.empty()) out += "    <desc>" + XmlText(p.digits) + "</desc>\n";
        out += std::string("    <!-- datumShift: ") + DatumMethodName(p.method) + " -->\n  </wpt>\n";
    }
    WriteDocumentBytes(file, out + "</gpx>\n");
}
}  // namespace

extern const Format kGpxFormat = {
    "gpx", "GPX", {".gpx"}, FormatDatum::wgs84, false, 0, false, nullptr, Read, Write};
