#include "readings/PlaceReadings.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/MappedFile.h"
#include "text/Utf8.h"

namespace {
// Lines are found with memchr, not walked byte by byte: a search looks at a score of lines a
// name, a guess at a score of names, and a byte loop was most of the guesser's time.
std::size_t LineEnd(std::string_view text, std::size_t at) {
    if (at >= text.size()) return text.size();
    const void* end = std::memchr(text.data() + at, '\n', text.size() - at);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - text.data()) : text.size();
}

// The name of the line starting at at: up to its tab, or the whole line when it has none.
std::string_view NameAt(std::string_view text, std::size_t at) {
    const std::size_t end = LineEnd(text, at);
    const char* start = text.data() + at;
    const void* tab = at < end ? std::memchr(start, '\t', end - at) : nullptr;
    return std::string_view(start, static_cast<std::size_t>((tab ? static_cast<const char*>(tab) : text.data() + end) - start));
}

// The first line from low to high whose name is not before the one wanted: a binary search over
// the bytes, each probe taking the first line that starts at or after its middle (low's own when
// none does before high), so no index of the lines is built. Low and high are line starts (or
// the end); the lines being sorted, the line found is the same whichever are probed.
std::size_t FirstNotBefore(std::string_view text, std::string_view name, std::size_t low, std::size_t high) {
    const char* const bytes = text.data();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        std::size_t line = low;
        if (middle > low) {
            const void* newline = std::memchr(bytes + middle - 1, '\n', high - middle);
            if (newline) line = static_cast<std::size_t>(static_cast<const char*>(newline) - bytes) + 1;
        }
        if (NameAt(text, line).compare(name) < 0)
            low = LineEnd(text, line) + 1;
        else
            high = line;
    }
    return std::min(low, text.size());
}

constexpr std::string_view kIndexHeader = "quorvel-place-index ";
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
    const std::string_view txt = ".txt";
    if (path.size() < txt.size() || path.compare(path.size() - txt.size(), txt.size(), txt) != 0) return places;
    auto index = std::make_unique<MappedFile>();
    if (!index->Open(CString(path.substr(0, path.size() - txt.size()) + ".idx"), &error)) return places;  // searched whole
    const std::string_view lines(reinterpret_cast<const char*>(index->Data()), index->Size());
    // Its first line gives the size of the file it was made for.
    const std::string header = std::string(kIndexHeader) + std::to_string(places.m_text.size()) + '\n';
    if (lines.substr(0, header.size()) != header) return places;
    places.m_index = lines.substr(header.size());
    places.m_indexFile = std::move(index);
    return places;
}

// The lines of the file where the name's first line lies, from the last indexed name before it to
// the first not before it; false when the index has none or holds what no index of this file
// would (an offset that is no line start), and the whole file is searched.
bool PlaceReadings::Block(std::string_view name, std::size_t& from, std::size_t& to) const {
    const auto offset = [&](std::size_t line, std::size_t& at) {
        const std::size_t tab = m_index.find('\t', line), end = LineEnd(m_index, line);
        if (tab >= end || end - tab < 2 || end - tab > 12) return false;
        at = 0;
        for (std::size_t i = tab + 1; i < end; ++i) {
            if (m_index[i] < '0' || m_index[i] > '9') return false;
            at = at * 10 + static_cast<std::size_t>(m_index[i] - '0');
        }
        return at <= m_text.size() && (at == 0 || at == m_text.size() || m_text[at - 1] == '\n');
    };
    const std::size_t entry = FirstNotBefore(m_index, name, 0, m_index.size());
    to = m_text.size();
    if (entry < m_index.size() && !offset(entry, to)) return false;
    from = 0;
    if (entry > 0) {
        const std::size_t before = entry >= 2 ? m_index.rfind('\n', entry - 2) : std::string_view::npos;
        if (!offset(before == std::string_view::npos ? 0 : before + 1, from)) return false;
    }
    return from <= to;
}

// The first line of the span whose name is not before the one wanted. The span's ends are line
// starts (or the end); the file being sorted, that line is the first of the whole file clamped to
// the span, which the index finds in one block.
std::size_t PlaceReadings::LowerBound(std::string_view name, Span within) const {
    const std::size_t to = std::min(within.to, m_text.size()), from = std::min(within.from, to);
    std::size_t low = 0, high = 0;
    if (m_index.empty() || !Block(name, low, high)) return FirstNotBefore(m_text, name, from, to);
    return std::clamp(FirstNotBefore(m_text, name, low, high), from, to);
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
