#include "maps/PlaceReadings.h"

#include <algorithm>
#include <utility>

#include "platform/MappedFile.h"
#include "platform/Utf8.h"

namespace {
// The name of the line starting at at: up to its tab, or the whole line when it has none.
std::string_view NameAt(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && text[end] != '\t' && text[end] != '\n') ++end;
    return text.substr(at, end - at);
}

std::size_t LineEnd(std::string_view text, std::size_t at) {
    const std::size_t end = text.find('\n', at);
    return end == std::string_view::npos ? text.size() : end;
}
}  // namespace

PlaceReadings::PlaceReadings() = default;
PlaceReadings::~PlaceReadings() = default;
PlaceReadings::PlaceReadings(PlaceReadings&&) noexcept = default;
PlaceReadings& PlaceReadings::operator=(PlaceReadings&&) noexcept = default;

PlaceReadings::PlaceReadings(const std::string& text) {
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = LineEnd(text, at);
        const std::string_view line(text.data() + at, end - at);
        const std::size_t tab = line.find('\t');
        if (tab != std::string_view::npos && tab > 0 && tab + 1 < line.size()) lines.push_back(line);
        at = end + 1;
    }
    std::stable_sort(lines.begin(), lines.end(), [](std::string_view a, std::string_view b) { return NameAt(a, 0) < NameAt(b, 0); });
    for (const std::string_view line : lines) (m_sorted += line) += '\n';
    m_text = m_sorted;
}

PlaceReadings PlaceReadings::Load(const std::string& path) {
    PlaceReadings places;
    auto file = std::make_unique<MappedFile>();
    CFileException error;
    if (!file->Open(CString(path), &error)) return places;  // none shipped here: MeCab alone guesses
    places.m_text = std::string_view(reinterpret_cast<const char*>(file->Data()), file->Size());
    places.m_file = std::move(file);
    return places;
}

// The first line of the span whose name is not before the one wanted: a binary search over the
// bytes, each probe taking the line it falls in, so no index of the lines is built. The span's ends
// are line starts (or the end).
std::size_t PlaceReadings::LowerBound(std::string_view name, Span within) const {
    std::size_t low = within.from, high = std::min(within.to, m_text.size());
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        std::size_t line = middle;  // the start of the line middle falls in, low at the earliest
        while (line > low && m_text[line - 1] != '\n') --line;
        if (NameAt(m_text, line) < name)
            low = LineEnd(m_text, line) + 1;
        else
            high = line;
    }
    return std::min(low, m_text.size());
}

PlaceReadings::Span PlaceReadings::Starting(std::string_view prefix) const {
    const Span all{0, m_text.size()};
    const std::size_t from = LowerBound(prefix, all);
    // No UTF-8 name holds the byte FF: every name starting with the prefix comes before it.
    return Span{from, LowerBound(std::string(prefix) + '\xFF', Span{from, m_text.size()})};
}

std::vector<std::string> PlaceReadings::Find(std::string_view name, Span within) const {
    std::vector<std::string> readings;
    if (name.empty() || within.Empty()) return readings;
    const std::size_t low = LowerBound(name, within);
    for (std::size_t at = low; at < within.to && at < m_text.size() && NameAt(m_text, at) == name; at = LineEnd(m_text, at) + 1) {
        const std::size_t from = at + name.size() + 1;
        std::size_t end = LineEnd(m_text, at);
        if (from > end) continue;  // a name without a tab and reading
        if (end > from && m_text[end - 1] == '\r') --end;
        // Hiragana as katakana, as the analyser gives readings.
        const std::string_view kana = m_text.substr(from, end - from);
        std::string reading;
        for (std::size_t i = 0; i < kana.size();) {
            char32_t c = NextCodePoint(kana, i);
            if (c >= 0x3041 && c <= 0x3096) c += 0x60;
            AppendUtf8(reading, c);
        }
        if (!reading.empty()) readings.push_back(std::move(reading));
    }
    return readings;
}
