// The glorie document: the one this program writes and the one the unit writes, read back; written
// through the POI table as the dialog writes it.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <pugixml.hpp>

#include "places/EachPlace.h"
#include "convert/CPoiTable.h"
#include "places/Format.h"
#include "text/LineIndex.h"
#include "text/Cp932Text.h"
#include "text/MapError.h"
#include "text/MapText.h"
#include "text/SafeText.h"
#include "formats/UnitFields.h"
#include "formats/XmlSource.h"

namespace {
// The element names a glorie document's lines open or close.
const char* const kKnownTags[] = {"?xml", "!DOCTYPE", "glorie", "format", "datum", "unit", "gpoi", "index",
                                  "poi", "point", "pos", "lat", "lon", "name", "nb", "rt", "category",
                                  "linkfile", "optional-media", "activate-condition", "activate-radius",
                                  "outmost", "inmost", "activate-direction", "dcenter", "deviation"};

// The character reference at text[i] ("&#12354;", "&#x1B;") in the document's code page, i
// moved onto its ";"; false when there is none. pugixml's own would end the text at "&#0;".
bool CharacterReference(const std::string& text, std::size_t& i, std::string& out) {
    if (text.compare(i, 2, "&#") != 0) return false;
    const bool hex = i + 2 < text.size() && text[i + 2] == 'x';
    const std::size_t first = i + (hex ? 3 : 2);
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str() + first, &end, hex ? 16 : 10);
    const std::size_t stop = static_cast<std::size_t>(end - text.c_str());
    if (stop == first || stop >= text.size() || text[stop] != ';' || !std::isxdigit(static_cast<unsigned char>(text[first])))
        return false;
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else {
        std::string utf8;
        AppendUtf8(utf8, value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? 0xFFFD : static_cast<char32_t>(value));
        out += Utf8ToCp932(utf8);
    }
    i = stop;
    return true;
}

std::string Unescaped(const std::string& text) {
    static const struct {
        const char* entity;
        char c;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    if (text.find('&') == std::string::npos) return text;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (CharacterReference(text, i, out)) continue;
        bool replaced = false;
        for (const auto& e : kEntities) {
            const std::size_t length = std::strlen(e.entity);
            if (text.compare(i, length, e.entity) != 0) continue;
            out += e.c;
            i += length - 1;
            replaced = true;
            break;
        }
        if (!replaced) out += text[i];
    }
    return out;
}

// A point as its lines gave it, before its texts and numbers are checked.
struct RawPoint {
    int line = 0;
    std::string name, reading, latitude, longitude;
    bool hasLatitude = false, hasLongitude = false;
};

void Deliver(const RawPoint& raw, const std::string& fileName, MapReadResult& result) {
    Place place;
    place.SetOrigin(PlaceOrigin::PointOnLine(raw.line));
    std::string name;
    const bool nameValid = Cp932ToUtf8(raw.name, name);
    std::string reading;
    if (!Cp932ToUtf8(raw.reading, reading) || !nameValid)
        result.warnings.push_back({MessageId::notShiftJis, fileName, Message(MessageId::placeNamed, place.Origin().Said(), Excerpt(name))});
    std::vector<char32_t> controls = ReplaceControlCharacters(name);
    place.SetName(name);
    for (const char32_t c : ReplaceControlCharacters(reading)) controls.push_back(c);
    place.SetReading(std::move(reading));
    if (!controls.empty())
        result.warnings.push_back({MessageId::controlCharacters, fileName,
                                   Message(MessageId::placeNamed, place.Origin().Said(), Excerpt(place.Name())), CodePointNames(controls)});
    char* end = nullptr;
    place.latitude = std::strtod(raw.latitude.c_str(), &end);
    const bool latitudeRead = raw.hasLatitude && !raw.latitude.empty() && *end == '\0';
    place.longitude = std::strtod(raw.longitude.c_str(), &end);
    const bool longitudeRead = raw.hasLongitude && !raw.longitude.empty() && *end == '\0';
    if (!latitudeRead || !longitudeRead || !std::isfinite(place.latitude) || !std::isfinite(place.longitude) ||
        place.latitude < 0 || place.latitude > 90 || place.longitude < 0 || place.longitude > 180) {
        // The texts are CP932 like the names: shown in UTF-8.
        std::string latitude, longitude;
        Cp932ToUtf8(raw.latitude, latitude);
        Cp932ToUtf8(raw.longitude, longitude);
        result.warnings.push_back({MessageId::badGlorieCoordinates, fileName,
                                   Message(MessageId::placeNamed, place.Origin().Said(), Excerpt(place.Name())), Excerpt(latitude),
                                   Excerpt(longitude)});
        ++result.refused;
        return;
    }
    result.places.push_back(std::move(place));
}

// The text between <tag> and the last </tag> of a line; false when the line is not that element.
bool Element(const std::string& line, const char* tag, std::string& text) {
    const std::string open = std::string("<") + tag + ">";
    const std::string close = std::string("</") + tag + ">";
    const std::size_t start = line.find(open);
    const std::size_t stop = line.rfind(close);
    if (start == std::string::npos || stop == std::string::npos || stop < start + open.size()) return false;
    text = Unescaped(line.substr(start + open.size(), stop - start - open.size()));
    return true;
}

// Line by line, for documents whose names hold bare & or < (as the unit itself writes them).
MapReadResult ReadByLines(const std::string& bytes, const std::string& fileName, int xmlErrorLine,
                          const char* xmlError) {
    MapReadResult result;
    RawPoint raw;
    bool inPoint = false;
    bool sawRoot = false;
    int number = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        bool known = false;
        if (line[first] == '<') {
            const std::size_t nameStart = first + (line.compare(first, 2, "</") == 0 ? 2 : 1);
            for (const char* tag : kKnownTags) {
                const std::size_t length = std::strlen(tag);
                const char after = nameStart + length < line.size() ? line[nameStart + length] : '\0';
                if (line.compare(nameStart, length, tag) == 0 && (after == '>' || after == ' ' || after == '/'))
                    known = true;
            }
        }
        if (!known)
            throw MapError({MessageId::notGlorieLine, fileName, number, xmlErrorLine, xmlError});
        sawRoot = sawRoot || line.compare(first, 7, "<glorie") == 0;
        std::string text;
        if (line.compare(first, 6, "<gpoi>") == 0) {
            raw = RawPoint();
            raw.line = number;
            inPoint = true;
        } else if (line.compare(first, 7, "</gpoi>") == 0 && inPoint) {
            Deliver(raw, fileName, result);
            inPoint = false;
        } else if (inPoint && Element(line, "nb", text)) {
            raw.name = text;
        } else if (inPoint && Element(line, "rt", text)) {
            raw.reading = text;
        } else if (inPoint && Element(line, "lat", text)) {
            raw.latitude = text;
            raw.hasLatitude = true;
        } else if (inPoint && Element(line, "lon", text)) {
            raw.longitude = text;
            raw.hasLongitude = true;
        }
    }
    if (!sawRoot || inPoint)
        throw MapError({MessageId::notGlorieDocument, fileName, xmlErrorLine, xmlError});
    return result;
}

bool LooksLikeGlorie(const std::string& bytes) { return XmlRootName(bytes) == "glorie"; }

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions&) {
    // A UTF-8 byte-order mark an editor put before the declaration, which the parser takes for text.
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    pugi::xml_document document;
    // CP932 passes as it is: none of its trail bytes is markup. An element's first text is kept as
    // its value rather than as a node of its own: a third fewer nodes, and child_value reads both.
    const pugi::xml_parse_result parsed = document.load_buffer(
        bytes.data(), bytes.size(), (pugi::parse_default & ~pugi::parse_escapes) | pugi::parse_embed_pcdata, pugi::encoding_utf8);
    if (!parsed) return ReadByLines(bytes, fileName, LineIndex::LineAt(bytes, static_cast<std::size_t>(parsed.offset)),
                                    parsed.description());

    const pugi::xml_node root = document.child("glorie");
    if (!root) throw MapError({MessageId::noGlorieElement, fileName});
    MapReadResult result;
    const LineIndex lines(bytes);
    for (const pugi::xml_node gpoi : root.children("gpoi")) {
        RawPoint raw;
        raw.line = lines.Line(static_cast<std::size_t>(gpoi.offset_debug()));
        const pugi::xml_node poi = gpoi.child("poi");
        raw.name = Unescaped(poi.child("name").child_value("nb"));
        raw.reading = Unescaped(poi.child("name").child_value("rt"));
        const pugi::xml_node pos = poi.child("point").child("pos");
        raw.hasLatitude = static_cast<bool>(pos.child("lat"));
        raw.hasLongitude = static_cast<bool>(pos.child("lon"));
        raw.latitude = Unescaped(pos.child_value("lat"));
        raw.longitude = Unescaped(pos.child_value("lon"));
        Deliver(raw, fileName, result);
    }
    return result;
}

// Places with their record texts (UnitRecord), coordinates in the Tokyo datum.
void Write(ByteSink& sink, PlaceSource& places, const WriteOptions&) {
    const auto table = std::make_unique<CPoiTable>();
    table->Reset();
    int at = 0;
    ForEachPlace(places, [&](const Place& place) {
        table->ResetEntry(at);
        RecordText record = UnitRecord(place);  // cut to the unit's fields, so no zero byte inside
        table->SetName(CString(std::move(record.name)), at);
        table->SetLongitude(DegreesToDms(place.longitude), at);
        table->SetLatitude(DegreesToDms(place.latitude), at);
        table->SetReading(CString(std::move(record.reading)), at);
        table->SetDigits(place.Digits().c_str(), at);
        ++at;
    });
    table->WriteGlorie(sink);
}
}  // namespace

namespace {
constexpr Format Row() {
    Format row{};
    row.name = "glorie";
    row.title = "glorie 文書";
    row.englishTitle = "glorie documents";
    row.extensions[0] = ".xml";
    row.datum = FormatDatum::tokyo;
    row.unit = true;
    row.pointsPerFile = CPoiTable::kCapacity;
    row.recognise = LooksLikeGlorie;
    row.read = Read;
    row.write = Write;
    return row;
}
}  // namespace

extern const Format kGlorieFormat = Row();
