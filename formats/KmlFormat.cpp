// KML 2.2: each Point of a Placemark (or of a KML 2.1 Schema type whose parent is Placemark), at
// any depth of Documents and Folders, the root a <kml> or a Placemark, Folder or Document alone;
// with --all-points every vertex of its lines, areas and tracks too. One Placemark a place when
// written. KMZ is the same document zipped as doc.kml.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "places/EachPlace.h"
#include "places/Format.h"
#include "formats/KmzArchive.h"
#include "formats/MapDocumentText.h"
#include "text/MapError.h"
#include "text/MapText.h"
#include "places/PlaceCollector.h"
#include "formats/XmlSource.h"
#include "formats/FormatOptions.h"

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

// The shapes of a Placemark that hold coordinates: its Point, LineString, LinearRing (of a
// Polygon), gx:Track, nested in MultiGeometry, Polygon boundaries and gx:MultiTrack.
std::vector<pugi::xml_node> ShapesOf(pugi::xml_node placemark) {
    std::vector<pugi::xml_node> shapes;
    pugi::xml_node node = placemark.first_child();
    while (node) {
        const bool shape = XmlSource::Is(node, "Point") || XmlSource::Is(node, "LineString") ||
                           XmlSource::Is(node, "LinearRing") || XmlSource::Is(node, "Track");
        if (shape) shapes.push_back(node);
        const bool container = XmlSource::Is(node, "MultiGeometry") || XmlSource::Is(node, "Polygon") ||
                               XmlSource::Is(node, "outerBoundaryIs") || XmlSource::Is(node, "innerBoundaryIs") ||
                               XmlSource::Is(node, "MultiTrack");
        node = NextInOrder(node, placemark, shape || !container);
    }
    return shapes;
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

// Every "lon,lat[,alt]" of a coordinates text.
std::vector<std::pair<std::string, std::string>> Tuples(const std::string& coordinates) {
    std::vector<std::pair<std::string, std::string>> tuples;
    const std::string text = CollapseSpace(coordinates);
    std::string joined;
    // Blank space beside a comma is within a tuple.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' && ((i > 0 && text[i - 1] == ',') || (i + 1 < text.size() && text[i + 1] == ','))) continue;
        joined += text[i];
    }
    for (std::size_t at = 0; at < joined.size();) {
        std::size_t end = joined.find(' ', at);
        if (end == std::string::npos) end = joined.size();
        std::string longitude, latitude;
        SplitTuple(joined.substr(at, end - at), longitude, latitude);
        tuples.emplace_back(longitude, latitude);
        at = end + 1;
    }
    return tuples;
}

// The coordinate texts of a shape: a Point's first tuple, every vertex of the others.
std::vector<std::pair<std::string, std::string>> Vertices(pugi::xml_node shape) {
    if (XmlSource::Is(shape, "Point")) {
        std::string longitude, latitude;
        SplitTuple(XmlSource::Text(XmlSource::Child(shape, "coordinates")), longitude, latitude);
        return {{longitude, latitude}};
    }
    if (!XmlSource::Is(shape, "Track")) return Tuples(XmlSource::Text(XmlSource::Child(shape, "coordinates")));
    // gx:coord: "lon lat alt", blank-separated.
    std::vector<std::pair<std::string, std::string>> vertices;
    for (pugi::xml_node coord = shape.first_child(); coord; coord = coord.next_sibling()) {
        if (!XmlSource::Is(coord, "coord")) continue;
        const std::string text = CollapseSpace(XmlSource::Text(coord));
        const std::size_t space = text.find(' ');
        const std::size_t end = space == std::string::npos ? std::string::npos : text.find(' ', space + 1);
        vertices.emplace_back(text.substr(0, space),
                              space == std::string::npos ? std::string() : text.substr(space + 1, end == std::string::npos ? end : end - space - 1));
    }
    return vertices;
}

// Returns how many vertices of lines and areas were passed over (none with allPoints).
int ReadPlacemark(const XmlSource& source, pugi::xml_node placemark, bool allPoints, PlaceCollector& places) {
    std::vector<pugi::xml_node> points;
    std::vector<std::pair<std::string, std::string>> coordinates;
    int passed = 0;
    for (const pugi::xml_node shape : ShapesOf(placemark)) {
        std::vector<std::pair<std::string, std::string>> vertices = Vertices(shape);
        if (!allPoints && !XmlSource::Is(shape, "Point")) {
            passed += static_cast<int>(vertices.size());
            continue;
        }
        for (auto& vertex : vertices) {
            points.push_back(shape);
            coordinates.push_back(std::move(vertex));
        }
    }
    if (points.empty()) return passed;
    Place common;
    // Blank space is laid out by the collector; a name of nothing else is none.
    const std::string name = XmlSource::Text(XmlSource::Child(placemark, "name"));
    if (!CollapseSpace(name).empty()) common.SetName(name);
    std::string reading;
    ExtendedValue(placemark, "reading", reading);
    common.SetReading(std::move(reading));
    std::string digits;
    const bool hasDigits = ExtendedValue(placemark, "digits", digits);
    common.SetOrigin(source.Origin(placemark));
    if (hasDigits) places.SetDigits(common, digits);
    int number = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        Place place = common;
        place.SetOrigin(source.Origin(points[i]));
        // The unit lists places by name: the points of one Placemark are told apart by number.
        if (points.size() > 1 && place.HasName()) place.SetName(place.Name() + " " + std::to_string(++number));
        places.Add(std::move(place), std::string_view(coordinates[i].second), std::string_view(coordinates[i].first));
    }
    return passed;
}

// Returns how many vertices of lines and areas were passed over.
int ReadKml(const XmlSource& source, bool allPoints, PlaceCollector& places) {
    for (const Message& warning : source.Warnings()) places.Warn(warning);
    const pugi::xml_node root = source.Root();
    // A fragment written without its <kml> (a Placemark, Folder or Document alone) is read as well.
    if (!XmlSource::Is(root, "kml") && !XmlSource::Is(root, "Placemark") && !XmlSource::Is(root, "Folder") &&
        !XmlSource::Is(root, "Document"))
        throw MapError({MessageId::notKml, places.FileName(), root.name()});
    // KML 2.1: <Schema name="T" parent="Placemark"> makes <T> a Placemark.
    std::vector<std::string> placemarkTypes{"Placemark"};
    pugi::xml_node node = root;
    while (node) {
        const bool schema = node.type() == pugi::node_element && XmlSource::Is(node, "Schema");
        if (schema && XmlSource::Attribute(node, "parent") == "Placemark" && !XmlSource::Attribute(node, "name").empty())
            placemarkTypes.push_back(XmlSource::Attribute(node, "name"));
        node = NextInOrder(node, root, schema || node.type() != pugi::node_element);
    }
    const auto isPlacemark = [&placemarkTypes](pugi::xml_node element) {
        const std::string_view name = XmlSource::LocalName(element);
        return std::find(placemarkTypes.begin(), placemarkTypes.end(), name) != placemarkTypes.end();
    };
    // Without recursion: Folders may nest deeper than a stack would take.
    int passed = 0;
    node = root;
    while (node) {
        const bool placemark = node.type() == pugi::node_element && isPlacemark(node);
        if (placemark) passed += ReadPlacemark(source, node, allPoints, places);
        node = NextInOrder(node, root, placemark || node.type() != pugi::node_element);
    }
    return passed;
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    PlaceCollector places(fileName, options);
    const int passed = ReadKml(XmlSource(bytes, fileName), options.allPoints, places);
    return places.Finish(passed);
}

MapReadResult ReadKmz(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    return Read(KmlOfKmz(bytes, fileName, kMaxInputBytes), fileName, options);
}

// The document in parts: emit(part, last) takes each (and may clear it).
template <typename Emit>
void Document(PlaceSource& places, Emit emit) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
        "  <description>" +
        XmlText(MethodSummary(places)) + "</description>\n";
    ForEachPlace(places, [&](const Place& p) {
        out += "  <Placemark>\n    <name>" + XmlText(p.Name()) + "</name>\n";
        std::string description = p.Reading();
        if (!p.Digits().empty()) description += (description.empty() ? "" : " ") + p.Digits();
        if (!description.empty()) out += "    <description>" + XmlText(description) + "</description>\n";
        out += "    <ExtendedData>\n";
        if (!p.Reading().empty()) out += "      <Data name=\"reading\"><value>" + XmlText(p.Reading()) + "</value></Data>\n";
        if (!p.Digits().empty()) out += "      <Data name=\"digits\"><value>" + XmlText(p.Digits()) + "</value></Data>\n";
        out += std::string("      <Data name=\"datumShift\"><value>") + DatumMethodName(p.Method()) + "</value></Data>\n";
        out += "    </ExtendedData>\n    <Point><coordinates>" + CoordinateText(p.longitude) + "," +
               CoordinateText(p.latitude) + "</coordinates></Point>\n  </Placemark>\n";
        emit(out, false);
    });
    out += "</Document>\n</kml>\n";
    emit(out, true);
}

void Write(ByteSink& sink, PlaceSource& places, const WriteOptions&) {
    Document(places, [&sink](std::string& part, bool last) { WritePart(sink, part, last); });
}

void WriteKmz(ByteSink& sink, PlaceSource& places, const WriteOptions&) {
    KmzWriter archive;
    Document(places, [&archive](std::string& part, bool last) {
        if (part.size() < kDocumentPartBytes && !last) return;
        archive.Add(part);
        part.clear();
    });
    WriteDocumentBytes(sink, archive.Finish());
}
}  // namespace

namespace {
constexpr Format KmlRow() {
    Format row{};
    row.name = "kml";
    row.title = "KML";
    row.extensions[0] = ".kml";
    row.datum = FormatDatum::wgs84;
    row.read = Read;
    row.write = Write;
    row.options[0] = &kAllPointsOption;
    return row;
}

constexpr Format KmzRow() {
    Format row{};
    row.name = "kmz";
    row.title = "KMZ";
    row.extensions[0] = ".kmz";
    row.datum = FormatDatum::wgs84;
    row.read = ReadKmz;
    row.write = WriteKmz;
    row.options[0] = &kAllPointsOption;
    return row;
}
}  // namespace

extern const Format kKmlFormat = KmlRow();
extern const Format kKmzFormat = KmzRow();
