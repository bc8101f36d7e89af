#include "platform/Cp932Text.h"

#include <cstdint>
#include <algorithm>
#include <cstring>

#include "platform/Cp932Table.h"
#include "platform/Utf8.h"

namespace {
constexpr char kReplacement[] = "\xEF\xBF\xBD";
constexpr char32_t kFirstHalfWidth = 0xFF61;  // ｡, at 0xA1; the half-width katakana run to 0xDF
constexpr std::uint16_t kNoCode = 0xFFFF;     // no CP932 code: 0xFF is no lead byte

// The code point of the character at cp932[at] and its length; length 0 when none starts there.
char32_t Decode(const std::string& cp932, std::size_t at, std::size_t& length) {
    const auto byte = static_cast<unsigned char>(cp932[at]);
    length = 1;
    if (byte < 0x80) return byte;
    if (byte >= 0xA1 && byte <= 0xDF) return byte - 0xA1 + kFirstHalfWidth;
    const int row = cp932::LeadIndex(byte);
    if (row >= 0 && at + 1 < cp932.size()) {
        const int trail = static_cast<unsigned char>(cp932[at + 1]);
        if (trail >= cp932::kFirstTrail && trail <= cp932::kLastTrail) {
            if (const char32_t c = cp932::kDoubleByte[row][trail - cp932::kFirstTrail]) {
                length = 2;
                return c;
            }
        }
    }
    length = 0;
    return 0;
}

// The CP932 code of each BMP character, from the table read backwards, made on the first use.
class Encoder {
public:
    Encoder() {
        for (std::uint16_t& code : m_codes) code = kNoCode;
        for (char32_t c = 0; c < 0x80; ++c) m_codes[c] = static_cast<std::uint16_t>(c);
        for (char32_t c = kFirstHalfWidth; c <= kFirstHalfWidth + (0xDF - 0xA1); ++c)
            m_codes[c] = static_cast<std::uint16_t>(c - kFirstHalfWidth + 0xA1);
        // In code order, so the first code of a character comes first; PreferredCode's rule.
        for (int row = 0; row < cp932::kLeadCount; ++row) {
            const int lead = row < 31 ? 0x81 + row : 0xE0 + row - 31;
            for (int k = 0; k < cp932::kTrailCount; ++k) {
                const char32_t c = cp932::kDoubleByte[row][k];
                if (c == 0) continue;
                const auto code = static_cast<std::uint16_t>(lead << 8 | (cp932::kFirstTrail + k));
                std::uint16_t& chosen = m_codes[c];
                if (chosen == kNoCode) {
                    chosen = code;
                } else {
                    const std::uint16_t both[] = {chosen, code};
                    chosen = cp932::PreferredCode(both, 2);
                }
            }
        }
        for (std::size_t k = 0; k < cp932::kOneWayCount; ++k) m_codes[cp932::kOneWay[k].codePoint] = cp932::kOneWay[k].code;
        for (char32_t c = 0; c < 0x80; ++c) m_asciiAsItIs = m_asciiAsItIs && m_codes[c] == c && !cp932::IsIgnoredTag(c);
    }

    // Whether every ASCII character is its own code, so that ASCII text needs no look-up.
    bool AsciiAsItIs() const { return m_asciiAsItIs; }

    // Appends c's code; false when it has none.
    bool Append(char32_t c, std::string& out) const {
        const std::uint16_t code = c < 0x10000 ? m_codes[c] : kNoCode;
        if (code == kNoCode) return false;
        if (code > 0xFF) out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
        return true;
    }

private:
    std::uint16_t m_codes[0x10000];
    bool m_asciiAsItIs = true;
};
}  // namespace

bool Cp932ToUtf8(const std::string& cp932, std::string& utf8) {
    utf8.clear();
    utf8.reserve(cp932.size() * 3 / 2);
    bool valid = true;
    std::size_t at = 0;
    while (at < cp932.size()) {
        std::size_t length = 0;
        const char32_t c = Decode(cp932, at, length);
        if (length == 0) {
            utf8 += kReplacement;
            valid = false;
            ++at;
            continue;
        }
        AppendUtf8(utf8, c);
        at += length;
    }
    return valid;
}

std::string Utf8ToCp932(const std::string& utf8, std::vector<std::string>* unmapped) {
    static const Encoder encoder;
    std::string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        if (byte < 0x80 && encoder.AsciiAsItIs()) {  // a byte of its own, most of many names
            out += static_cast<char>(byte);
            ++at;
            continue;
        }
        const Utf8Char c = DecodeUtf8(utf8, at);
        if (c.valid && (cp932::IsIgnoredTag(c.codePoint) || encoder.Append(c.codePoint, out))) {
            at += c.length;
            continue;
        }
        // Invalid UTF-8 that still has a character's shape (an overlong form, a surrogate) stands
        // for one character.
        const std::size_t length = c.valid ? c.length : std::max<std::size_t>(Utf8SequenceLength(utf8, at), 1);
        out += '?';
        if (unmapped) unmapped->push_back(utf8.substr(at, length));
        at += length;
    }
    return out;
}

std::size_t Cp932TruncatedLength(const char* source, int limit) {
    const std::size_t room = limit < 0 ? 0 : static_cast<std::size_t>(limit);
    std::size_t length = 0;
    while (length <= room && source[length] != '\0') ++length;
    if (length <= room) return length;
    std::size_t cut = room;
    if (cut > 0) {
        // Walk whole characters so a trail byte is never taken for a lead byte.
        std::size_t at = 0;
        while (at < cut - 1) at += cp932::IsLeadByte(static_cast<unsigned char>(source[at])) ? 2 : 1;
        if (at == cut - 1 && cp932::IsLeadByte(static_cast<unsigned char>(source[at]))) --cut;
    }
    return cut;
}

void CopyCp932Truncated(char* destination, const char* source, int limit) {
    const std::size_t cut = Cp932TruncatedLength(source, limit);
    std::memcpy(destination, source, cut);
    destination[cut] = '\0';
}
