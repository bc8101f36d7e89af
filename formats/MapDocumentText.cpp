#include "formats/MapDocumentText.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "text/DecimalChars.h"
#include "text/MapError.h"
#include "text/ByteSink.h"

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";
}  // namespace

bool PlaceArray::Next(const Place*& places, std::size_t& count) {
    if (m_given || m_count == 0) return false;
    m_given = true;
    places = m_places;
    count = m_count;
    return true;
}

std::array<std::size_t, 3> PlaceArray::Methods() const {
    std::array<std::size_t, 3> counts = {};
    for (std::size_t i = 0; i < m_count; ++i) ++counts[static_cast<std::size_t>(m_places[i].Method())];
    return counts;
}

void WritePlaces(const Format& format, ByteSink& sink, const Place* places, std::size_t count, const WriteOptions& options) {
    PlaceArray source(places, count);
    format.write(sink, source, options);
}

std::string MethodSummary(const PlaceSource& places) {
    const std::array<std::size_t, 3> counts = places.Methods();
    std::string summary = "日本測地系から WGS 84 への換算:";
    for (std::size_t method = 0; method < counts.size(); ++method)
        if (counts[method] > 0)
            summary += std::string(" ") + DatumMethodName(static_cast<DatumMethod>(method)) + " " + std::to_string(counts[method]) + " 地点";
    return summary + " (grid: 国土地理院の地域パラメータ TKY2JGD 2.1.2、helmert: EPSG:15484、none: 換算なし)";
}

std::string CoordinateText(double value) {
    std::string text;
    AppendCoordinate(text, value);
    return text;
}

void AppendXmlText(std::string& out, std::string_view text) {
    // Runs of plain bytes go in whole: almost no byte of a name needs a change.
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        const char* entity = nullptr;
        switch (c) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case '\'': entity = "&apos;"; break;
        default:
            if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F) entity = kReplacement;
        }
        if (!entity) continue;
        out.append(text.data() + plain, i - plain);
        out += entity;
        plain = i + 1;
    }
    out.append(text.data() + plain, text.size() - plain);
}

std::string XmlText(const std::string& text) {
    std::string out;
    AppendXmlText(out, text);
    return out;
}

void AppendCoordinate(std::string& out, double value) {
    if (!std::isfinite(value)) throw MapError(MessageId::coordinateNotNumber);
    char buffer[400];  // the largest double has 309 digits before the point
    const std::to_chars_result written = WriteFixed(buffer, buffer + sizeof buffer, value, 7);
    if (written.ec != std::errc()) throw MapError(MessageId::coordinateNotNumber);
    out.append(buffer, written.ptr);
}

void WriteDocumentBytes(ByteSink& sink, const std::string& document) { sink.Write(document.data(), document.size()); }

void WritePart(ByteSink& sink, std::string& part, bool last) {
    if (part.size() < kDocumentPartBytes && !last) return;
    WriteDocumentBytes(sink, part);
    part.clear();
}
