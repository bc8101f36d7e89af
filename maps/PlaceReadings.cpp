#include "maps/PlaceReadings.h"

#include <algorithm>
#include <utility>

#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/Utf8.h"

PlaceReadings::PlaceReadings(std::string text) : m_text(std::move(text)) {
    std::size_t at = 0;
    std::string_view previous;
    bool sorted = true;
    while (at < m_text.size()) {
        std::size_t end = m_text.find('\n', at);
        if (end == std::string::npos) end = m_text.size();
        const std::size_t tab = m_text.find('\t', at);
        if (tab != std::string::npos && tab > at && tab + 1 < end) {
            const std::string_view name(m_text.data() + at, tab - at);
            sorted = sorted && previous <= name;
            previous = name;
            m_lines.push_back(at);
        }
        at = end + 1;
    }
    // A file out of order would find some names and miss others at random: it is sorted here.
    if (!sorted)
        std::stable_sort(m_lines.begin(), m_lines.end(), [this](std::size_t a, std::size_t b) { return NameAt(a) < NameAt(b); });
}

PlaceReadings PlaceReadings::Load(const std::string& path) {
    try {
        CFile file;
        if (!file.Open(CString(path), CFile::modeRead)) return {};
        const std::uint64_t length = file.GetLength();
        constexpr std::uint64_t kMaxBytes = 64ull << 20;  // the extraction makes 7 MB
        if (length == 0 || length > kMaxBytes) return {};
        std::string bytes(static_cast<std::size_t>(length), '\0');
        if (file.Read(&bytes[0], static_cast<unsigned>(length)) != length) return {};
        return PlaceReadings(std::move(bytes));
    } catch (const CFileException&) {
        return {};  // unreadable: the analyser alone guesses, as without the file
    }
}

std::string_view PlaceReadings::NameAt(std::size_t line) const {
    return std::string_view(m_text.data() + line, m_text.find('\t', line) - line);
}

std::vector<std::string> PlaceReadings::Find(std::string_view name) const {
    std::vector<std::string> readings;
    auto it = std::lower_bound(m_lines.begin(), m_lines.end(), name,
                               [this](std::size_t line, std::string_view wanted) { return NameAt(line) < wanted; });
    for (; it != m_lines.end() && NameAt(*it) == name; ++it) {
        const std::size_t from = *it + name.size() + 1;
        std::size_t end = m_text.find('\n', from);
        if (end == std::string::npos) end = m_text.size();
        if (end > from && m_text[end - 1] == '\r') --end;
        // Hiragana as katakana, as the analyser gives readings.
        const std::string_view kana(m_text.data() + from, end - from);
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
