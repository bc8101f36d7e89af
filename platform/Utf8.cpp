#include "platform/Utf8.h"

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
    std::size_t i = 0;
    while (i < text.size()) {
        // Eight ASCII bytes at a time: a document's markup is most of it.
        std::uint64_t eight;
        if (text.size() - i >= sizeof eight) {
            std::memcpy(&eight, text.data() + i, sizeof eight);
            if ((eight & 0x8080808080808080u) == 0) {
                i += sizeof eight;
                continue;
            }
        }
        const Utf8Char c = DecodeUtf8(text, i);
        if (!c.valid) return i;
        i += c.length;
    }
    return std::string_view::npos;
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
