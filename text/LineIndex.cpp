#include "text/LineIndex.h"

#include <algorithm>
#include <cstring>

LineIndex::LineIndex(std::string_view bytes) {
    const char* begin = bytes.data();
    const char* end = begin + bytes.size();
    for (const char* at = begin; at < end;) {
        const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
        if (!found) break;
        const char* lineBreak = static_cast<const char*>(found);
        m_breaks.push_back(static_cast<std::uint32_t>(lineBreak - begin));
        at = lineBreak + 1;
    }
}

int LineIndex::Line(std::size_t offset) const {
    const auto after = std::lower_bound(m_breaks.begin(), m_breaks.end(), offset);
    return static_cast<int>(after - m_breaks.begin()) + 1;
}

int LineIndex::Line(std::size_t offset, std::size_t& hint) const {
    // hint breaks lie before the last offset asked for; when they lie before this one too, the
    // next few are tried in turn.
    std::size_t at = hint;
    if (at <= m_breaks.size() && (at == 0 || m_breaks[at - 1] < offset)) {
        for (const std::size_t stop = std::min(m_breaks.size(), at + 16); at < stop; ++at)
            if (m_breaks[at] >= offset) break;
        if (at == m_breaks.size() || m_breaks[at] >= offset) {
            hint = at;
            return static_cast<int>(at) + 1;
        }
    }
    hint = static_cast<std::size_t>(Line(offset) - 1);
    return static_cast<int>(hint) + 1;
}

int LineIndex::LineAt(std::string_view bytes, std::size_t offset) {
    const std::size_t end = std::min(offset, bytes.size());
    return static_cast<int>(std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end), '\n')) + 1;
}
