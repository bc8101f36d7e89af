#include "pipeline/ConversionInput.h"

#include <charconv>

#include "convert/DmsToDegreeText.h"
#include "formats/UnitFields.h"
#include "pipeline/MessageOrder.h"
#include "text/DecimalChars.h"
#include "text/SafeText.h"

namespace {
// The shortest text that reads back as the same number: what a map file's author wrote.
std::string Shortest(double value) {
    char buffer[64];
    const std::to_chars_result written = WriteDouble(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}
}  // namespace

void AppendPoint(std::string& out, const Place& place) {
    std::string numbered;
    place.Origin().AppendText(out);
    out.append("「");
    AppendExcerpt(out, place.NameView(numbered));
    out.append("」");
}

std::string Label(const CString& strInput, const Place& place, std::string_view what) {
    std::string label;
    label.reserve(strInput.Str().size() + what.size() + 96);  // 96: the origin, the marks, a short name
    label.append(strInput.Str()).append(": ");
    AppendPoint(label, place);
    label.append(what);
    return label;
}

CString UnitDegreeText(double degrees) {
    CString text = DegreesToDms(degrees);
    DmsToDegreeText(text);
    if (text.GetLength() > 0 && text.GetAt(0) == '.') text = "0" + text;
    return text;
}

std::string ConversionInput::OriginalText(double value) const {
    return format->unit && value >= 0 && value < kMaxUnitDegrees ? UnitDegreeText(value).Str() : Shortest(value);
}

std::string ConversionInput::OriginalCoordinates(std::size_t i) const {
    std::pair<double, double> read;
    Original(i, read);
    return "緯度 " + OriginalText(read.first) + ", 経度 " + OriginalText(read.second);
}

bool ConversionInput::Original(std::size_t i, std::pair<double, double>& read) const {
    read = {places[i].latitude, places[i].longitude};
    if (!shifted) return read.first < 0 || read.second < 0 || read.first >= kMaxUnitDegrees - 1 || read.second >= kMaxUnitDegrees - 1;
    const auto kept = std::lower_bound(original.begin(), original.end(), i,
                                       [](const auto& entry, std::size_t index) { return entry.first < index; });
    if (kept == original.end() || kept->first != i) return false;
    read = kept->second;
    return true;
}

void ConversionInput::KeepOriginal() {
    if (shifted) return;
    if (keepOriginal) {
        std::pair<double, double> read;
        for (std::size_t i = 0; i < places.size(); ++i)
            if (Original(i, read)) original.emplace_back(i, read);
    }
    shifted = true;
}

void ConversionInput::Refuse(std::size_t i, const char* why, const std::string& text, std::vector<ConversionMessage>& messages) {
    refused.Set(i, why);
    ++refusedCount;
    say->Say(messages, {ConversionMessage::Kind::refusal, Label(name, places[i]) + ": " + text});
}
