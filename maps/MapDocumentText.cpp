#include "maps/MapDocumentText.h"

#include <cmath>
#include <cstdio>

#include "maps/MapError.h"
#include "platform/CSaveFile.h"

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

void WritePlaces(const Format& format, CSaveFile& file, const Place* places, std::size_t count, const WriteOptions& options) {
    PlaceArray source(places, count);
    format.write(file, source, options);
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
    if (!std::isfinite(value)) throw MapError("座標が数ではない地点は書けません");
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.7f", value);
    return buffer;
}

std::string XmlText(const std::string& text) {
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

void WriteDocumentBytes(CSaveFile& file, const std::string& document) {
    // The file layer takes at most 4 GB a call; a document is far smaller (inputs are 32 MB at most).
    file.Write(document.data(), static_cast<unsigned>(document.size()));
}

void WritePart(CSaveFile& file, std::string& part, bool last) {
    if (part.size() < kDocumentPartBytes && !last) return;
    WriteDocumentBytes(file, part);
    part.clear();
}
