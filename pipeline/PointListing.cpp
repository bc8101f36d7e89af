#include "pipeline/PointListing.h"

#include <cstdio>

#include "pipeline/Conversion.h"
#include "text/Cp932Text.h"
#include "text/Utf8.h"

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";

// C0 controls, DEL and the C1 controls U+0080 to U+009F.
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string Utf8(const std::string& cp932) {
    std::string text;
    Cp932ToUtf8(cp932, text);
    return text;
}

// An angle of WGS 84 as the listing shows it.
std::string Decimal(double value) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.7f", value);
    return buffer;
}

// A point's columns, texts in UTF-8: the unit's only where the unit takes the point, WGS 84's only
// where it was shifted.
struct Columns {
    bool unit, shifted;
    std::string unitName, unitReading, tokyoLatitude, tokyoLongitude, digits, latitude, longitude;

    explicit Columns(const ListedPoint& point)
        : unit(point.hasUnitColumns), shifted(point.shifted), digits(Utf8(point.digits)) {
        if (unit) {
            unitName = Utf8(point.unitName);
            unitReading = Utf8(point.unitReading);
            tokyoLatitude = point.tokyoLatitude.Str();
            tokyoLongitude = point.tokyoLongitude.Str();
        }
        if (shifted) {
            latitude = Decimal(point.latitude);
            longitude = Decimal(point.longitude);
        }
    }
};

void AppendEscaped(std::string& out, const std::string& field) {
    for (const char c : field) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
}
}  // namespace

std::string Cp932ToTerminal(const std::string& bytes) { return Utf8ToTerminal(Utf8(bytes)); }

// Invalid UTF-8, which the map readers refuse, is passed on unchanged.
std::string Utf8ToTerminal(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const Utf8Char c = DecodeUtf8(text, i);
        if (c.valid && IsControl(c.codePoint))
            out += kReplacement;
        else
            out.append(text, i, c.length);
        i += c.length;
    }
    return out;
}

std::string PointListing::Heading(const std::string& input, std::size_t count) {
    return input + " (" + std::to_string(count) + " 地点)\n" +
           "番号\t名称\t読み\t緯度\t経度\t数字\t緯度(WGS84)\t経度(WGS84)\t測地系変換\t元の名称\t推測\n";
}

void PointListing::AppendLine(std::string& out, std::size_t number, const ListedPoint& point) {
    const Columns columns(point);
    const std::string fields[] = {std::to_string(number),
                                  Utf8ToTerminal(columns.unitName),
                                  Utf8ToTerminal(columns.unitReading),
                                  columns.tokyoLatitude,
                                  columns.tokyoLongitude,
                                  Utf8ToTerminal(columns.digits),
                                  columns.latitude,
                                  columns.longitude,
                                  point.method,
                                  Utf8ToTerminal(point.name),
                                  point.readingGuessed ? "○" : ""};
    for (std::size_t k = 0; k < sizeof fields / sizeof fields[0]; ++k) {
        if (k) out += '\t';
        out += fields[k];
    }
    out += '\n';
}

const std::vector<const char*>& PointListing::PageFields() {
    static const std::vector<const char*> fields = {"hasUnit", "unitName", "unitReading", "nameBytes", "readingBytes",
                                                    "tokyoLat", "tokyoLon", "digits", "shifted", "latText",
                                                    "lonText", "method", "name", "guessed"};
    return fields;
}

void PointListing::AppendPageLine(std::string& out, const ListedPoint& point) {
    const Columns columns(point);
    // In the order of PageFields().
    const std::string fields[] = {columns.unit ? "1" : "0",
                                  columns.unitName,
                                  columns.unitReading,
                                  columns.unit ? std::to_string(point.unitName.size()) : std::string(),
                                  columns.unit ? std::to_string(point.unitReading.size()) : std::string(),
                                  columns.tokyoLatitude,
                                  columns.tokyoLongitude,
                                  columns.digits,
                                  columns.shifted ? "1" : "0",
                                  columns.latitude,
                                  columns.longitude,
                                  point.method,
                                  point.name,
                                  point.readingGuessed ? "1" : "0"};
    static_assert(sizeof fields / sizeof fields[0] == 14, "one text a page field");
    for (std::size_t k = 0; k < sizeof fields / sizeof fields[0]; ++k) {
        if (k) out += '\t';
        AppendEscaped(out, fields[k]);
    }
    out += '\n';
}
