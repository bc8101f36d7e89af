#include "maps/LineIndex.h"

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

int LineIndex::LineAt(std::string_view bytes, std::size_t offset) {
    const std::size_t end = std::min(offset, bytes.size());
    return static_cast<int>(std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end), '\n')) + 1;
}
