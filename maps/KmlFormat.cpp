// KML 2.2: each Point of a Placemark, at any depth of Documents and Folders; one Placemark a
// place when written. KMZ is the same document zipped as doc.kml.
#include <vector>

#include "maps/Format.h"
#include "maps/KmzArchive.h"
#include "maps/MapDocumentText.h"
#include "maps/MapError.h"
#include "maps/MapText.h"
#include "maps/PlaceCollector.h"
#include "maps/XmlSource.h"

namespace {
// The next element after node in document order, not entering node's children when skipChildren.
pugi::xml_node NextInOrder(pugi::xml_node node, pugi::xml_node root, bool skipChildren) {
    if (!skipChildren && node.first_child()) return node.first_child();
    while (node && node != root) {
        if (node.next_sibling()) return node.next_sibling();
        node = node.parent();
    }
    return {};
}

// The Points of a Placemark: its own, or those of its MultiGeometry, nested ones included.
std::vector<pugi::xml_node> PointsOf(pugi::xml_node placemark) {
    std::vector<pugi::xml_node> points;
    pugi::xml_node node = placemark.first_child();
    while (node) {
        const bool point = XmlSource::Is(node, "Point");
        if (point) points.push_back(node);
        node = NextInOrder(node, placemark, point || !XmlSource::Is(node, "MultiGeometry"));
    }
    return points;
}

// <Data name="reading"><value>…</value></Data> or <SimpleData name="reading">…</SimpleData>.
bool ExtendedValue(pugi::xml_node placemark, std::string_view key, std::string& value) {
    const pugi::xml_node extended = XmlSource::Child(placemark, "ExtendedData");
    for (pugi::xml_node data = extended.first_child(); data; data = data.next_sibling()) {
        if (XmlSource::Is(data, "Data") && XmlSource::Attribute(data, "name") == key) {
            value = XmlSource::Text(XmlSource::Child(data, "value"));
            return true;
        }
        if (XmlSource::Is(data, "SchemaData")) {
            for (pugi::xml_node simple = data.first_child(); simple; simple = simple.next_sibling()) {
                if (XmlSource::Is(simple, "SimpleData") && XmlSource::Attribute(simple, "name") == key) {
                    value = XmlSource::Text(simple);
                    return true;
                }
            }
        }
    }
    return false;
}

// "lon,lat[,alt]": the first tuple; blank space around the numbers is tolerated.
void SplitTuple(const std::string& coordinates, std::string& longitude, std::string& latitude) {
    std::string tuple;
    const std::string text = CollapseSpace(coordinates);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == ' ') {
            const bool nextToComma = (!tuple.empty() && tuple.back() == ',') || (i + 1 < text.size() && text[i + 1] == ',');
            if (!nextToComma) break;
            continue;
        }
        tuple += ch;
    }
    const std::size_t first = tuple.find(',');
    if (first == std::string::npos) {
        longitude = tuple;
        return;
    }
    longitude = tuple.substr(0, first);
    const std::size_t second = tuple.find(',', first + 1);
    latitude = tuple.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
}

void ReadPlacemark(const XmlSource& source, pugi::xml_node placemark, PlaceCollector& places) {
    const std::vector<pugi::xml_node> points = PointsOf(placemark);
    if (points.empty()) return;  // a line or an area: no place
    Place common;
    // Blank space is laid out by the collector; a name of nothing else is none.
    common.name = XmlSource::Text(XmlSource::Child(placemark, "name"));
    if (CollapseSpace(common.name).empty()) common.name.clear();
    std::string reading;
    ExtendedValue(placemark, "reading", reading);
    common.SetReading(std::move(reading));
    std::string digits;
    const bool hasDigits = ExtendedValue(placemark, "digits", digits);
    common.origin = source.Origin(placemark);
    if (hasDigits) places.SetDigits(common, digits);
    int number = 0;
    for (const pugi::xml_node point : points) {
        Place place = common;
        place.origin = source.Origin(point);
        // The unit lists places by name: the points of one Placemark are told apart by number.
        if (points.size() > 1 && !place.name.empty()) place.name += " " + std::to_string(++number);
        std::string longitude, latitude;
        SplitTuple(XmlSource::Text(XmlSource::Child(point, "coordinates")), longitude, latitude);
        places.Add(std::move(place), std::string_view(latitude), std::string_view(longitude));
    }
}

void ReadKml(const XmlSource& source, PlaceCollector& places) {
    for (const std::string& warning : source.Warnings()) places.Warn(warning);
    const pugi::xml_node root = source.Root();
    if (!XmlSource::Is(root, "kml"))
        throw MapError(places.FileName() + ": KML の文書ではありません（最上位の要素が <" + root.name() + ">）");
    // Without recursion: Folders may nest deeper than a stack would take.
    pugi::xml_node node = root.first_child();
    while (node) {
        const bool placemark = node.type() == pugi::node_element && XmlSource::Is(node, "Placemark");
        if (placemark) ReadPlacemark(source, node, places);
        node = NextInOrder(node, root, placemark || node.type() != pugi::node_element);
    }
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions&) {
    PlaceCollector places(fileName);
    ReadKml(XmlSource(bytes, fileName), places);
    return places.Finish();
}

MapReadResult ReadKmz(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    return Read(KmlOfKmz(bytes, fileName, kMaxInputBytes), fileName, options);
}

// The document in parts: emit(part, last) takes each (and may clear it).
template <typename Emit>
void Document(const Place* places, std::size_t count, Emit emit) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
                      "  <description>" + XmlText(MethodSummary(places, count)) + "</description>\n";
    for (std::size_t i = 0; i < count; ++i) {
        const Place& p = places[i];
        out += "  <Placemark>\n    <name>" + XmlText(p.name) + "</name>\n";
        std::string description = p.Reading();
        if (!p.Digits().empty()) description += (description.empty() ? "" : " ") + p.Digits();
        if (!description.empty()) out += "    <description>" + XmlText(description) + "</description>\n";
        out += "    <ExtendedData>\n";
        if (!p.Reading().empty()) out += "      <Data name=\"reading\"><value>" + XmlText(p.Reading()) + "</value></Data>\n";
        if (!p.Digits().empty()) out += "      <Data name=\"digits\"><value>" + XmlText(p.Digits()) + "</value></Data>\n";
        out += std::string("      <Data name=\"datumShift\"><value>") + DatumMethodName(p.method) + "</value></Data>\n";
        out += "    </ExtendedData>\n    <Point><coordinates>" + CoordinateText(p.longitude) + "," +
               CoordinateText(p.latitude) + "</coordinates></Point>\n  </Placemark>\n";
        emit(out, false);
    }
    out += "</Document>\n</kml>\n";
    emit(out, true);
}

void Write(CFile& file, const Place* places, std::size_t count, const WriteOptions&) {
    Document(places, count, [&file](std::string& part, bool last) { WritePart(file, part, last); });
}

void WriteKmz(CFile& file, const Place* places, std::size_t count, const WriteOptions&) {
    KmzWriter archive;
    Document(places, count, [&archive](std::string& part, bool last) {
        if (part.size() < kDocumentPartBytes && !last) return;
        archive.Add(part);
        part.clear();
    });
    WriteDocumentBytes(file, archive.Finish());
}
}  // namespace

extern const Format kKmlFormat = {
    "kml", "KML", {".kml"}, {}, FormatDatum::wgs84, false, 0, false, nullptr, Read, Write};
extern const Format kKmzFormat = {
    "kmz", "KMZ", {".kmz"}, {}, FormatDatum::wgs84, false, 0, false, nullptr, ReadKmz, WriteKmz};
