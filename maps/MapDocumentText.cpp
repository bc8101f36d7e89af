#include "maps/MapDocumentText.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "maps/MapError.h"
#include "platform/CSaveFile.h"

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";
}  // namespace

std::string MethodSummary(const Place* places, std::size_t count) {
    std::map<DatumMethod, int> counts;
    for (std::size_t i = 0; i < count; ++i) ++counts[places[i].Method()];
    std::string summary = "日本測地系から WGS 84 への換算:";
    for (const auto& [method, n] : counts) summary += std::string(" ") + DatumMethodName(method) + " " + std::to_string(n) + " 地点";
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
