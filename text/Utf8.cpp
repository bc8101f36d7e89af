#include "text/Utf8.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0u) == 0x80; }

// The byte count a lead byte announces (2 to 4 for C2 to F4); 1 for ASCII, 0 for no lead byte.
std::size_t AnnouncedLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xC2 ? 0
                         : lead <= 0xDF  ? 2
                         : lead <= 0xEF  ? 3
                         : lead <= 0xF4  ? 4
                                         : 0;
}
}  // namespace

// Also right for the common characters, though DecodeUtf8 takes those inline.
Utf8Char DecodeOtherUtf8(std::string_view text, std::size_t at) {
    constexpr Utf8Char kInvalid{kReplacement, 1, false};
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0) return kInvalid;
    // The lead byte's bits, then six bits from each continuation byte.
    char32_t value = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) value = (value << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3Fu);
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kInvalid;
    return {value, length, true};
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t FirstInvalidUtf8(std::string_view text) {
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        // Eight ASCII bytes at a time: a document's markup is most of it.
        if (size - i >= 8) {
            std::uint64_t eight;
            std::memcpy(&eight, text.data() + i, sizeof eight);
            const std::uint64_t high = eight & 0x8080808080808080u;
            if (high == 0) {
                i += 8;
                continue;
            }
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            // Past the ASCII bytes before the first other one, in one step.
            i += static_cast<std::size_t>(__builtin_ctzll(high)) / 8;
#endif
        }
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        // A run of other characters (a Japanese name) is checked without looking for ASCII words,
        // kana and kanji (three bytes whose lead admits no overlong form or surrogate) in a loop
        // of their own.
        do {
            while (size - i >= 3) {
                const auto lead = static_cast<unsigned char>(text[i]);
                if (lead - 0xE1u > 0xEFu - 0xE1u || lead == 0xED) break;
                std::uint16_t next;
                std::memcpy(&next, text.data() + i + 1, sizeof next);
                if ((next & 0xC0C0u) != 0x8080u) return i;
                i += 3;
            }
            if (i == size || static_cast<unsigned char>(text[i]) < 0x80) break;
            const std::size_t length = ValidUtf8Length(text, i);
            if (length == 0) return i;
            i += length;
        } while (i < size && static_cast<unsigned char>(text[i]) >= 0x80);
    }
    return std::string_view::npos;
}

std::size_t Utf8PrefixLength(std::string_view text, std::size_t count) {
    const std::size_t size = text.size();
    if (size <= count) return size;  // every character takes a byte at least
    std::size_t i = 0;
    for (; count > 0 && i < size; --count) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = ValidUtf8Length(text, i);
        i += length == 0 ? 1 : length;
    }
    return i;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const std::size_t length = AnnouncedLength(static_cast<unsigned char>(text[at]));
    if (length == 0 || length > text.size() - at) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if (!IsContinuation(static_cast<unsigned char>(text[at + k]))) return 0;
    return length;
}

std::size_t Utf8BoundaryAtOrBefore(std::string_view text, std::size_t at) {
    while (at > 0 && at < text.size() && IsContinuation(static_cast<unsigned char>(text[at]))) --at;
    return at;
}
