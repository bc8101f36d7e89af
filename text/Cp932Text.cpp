#include "text/Cp932Text.h"

#include <cstdint>
#include <algorithm>
#include <cstring>

#include "text/Cp932Table.h"
#include "text/Utf8.h"

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

    // c's code (a byte, or a lead and a trail byte); kNoCode when it has none.
    std::uint16_t Code(char32_t c) const { return c < 0x10000 ? m_codes[c] : kNoCode; }

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

namespace {
// One table for both kinds of walk, made on the first use.
const Encoder& TheEncoder() {
    static const Encoder encoder;
    return encoder;
}

// The conversion's one walk: the bytes written to out, or with kWrite false only counted (what
// they would be), the characters without a code reported alike.
template <bool kWrite>
std::size_t ConvertUtf8ToCp932(std::string* out, std::string_view utf8, std::vector<std::string>* unmapped) {
    static const Encoder& encoder = TheEncoder();
    const bool asciiAsItIs = encoder.AsciiAsItIs();
    // Written through a pointer into a buffer on the stack, which goes to out when full (no
    // character writes more than two bytes) and at the end: a name costs one append.
    char buffer[256];
    char* at = buffer;
    char* const full = buffer + sizeof buffer - 2;
    std::size_t written = 0;
    const std::size_t size = utf8.size();
    std::size_t i = 0;
    while (i < size) {
        if (at > full) {
            written += static_cast<std::size_t>(at - buffer);
            if (kWrite) out->append(buffer, static_cast<std::size_t>(at - buffer));
            at = buffer;
        }
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80 && asciiAsItIs) {  // a byte of its own, most of many names
            *at++ = static_cast<char>(byte);
            ++i;
            continue;
        }
        // Kana and kanji first: three bytes whose lead admits no overlong form or surrogate.
        if (byte - 0xE1u <= 0xEFu - 0xE1u && byte != 0xED && size - i >= 3) {
            std::uint16_t next;  // both continuation bytes, tested at once
            std::memcpy(&next, utf8.data() + i + 1, sizeof next);
            if ((next & 0xC0C0u) == 0x8080u) {
                const auto second = static_cast<unsigned char>(utf8[i + 1]), third = static_cast<unsigned char>(utf8[i + 2]);
                const std::uint16_t code = encoder.Code((byte & 0x0Fu) << 12 | (second & 0x3Fu) << 6 | (third & 0x3Fu));
                if (code != kNoCode) {
                    if (code > 0xFF) *at++ = static_cast<char>(code >> 8);
                    *at++ = static_cast<char>(code & 0xFF);
                    i += 3;
                    continue;
                }
            }
        }
        Utf8Char c;
        if (!DecodeCommonUtf8(utf8, i, c)) c = DecodeOtherUtf8(utf8, i);
        if (c.valid) {
            const std::uint16_t code = encoder.Code(c.codePoint);
            if (code != kNoCode) {
                if (code > 0xFF) *at++ = static_cast<char>(code >> 8);
                *at++ = static_cast<char>(code & 0xFF);
                i += c.length;
                continue;
            }
            if (cp932::IsIgnoredTag(c.codePoint)) {
                i += c.length;
                continue;
            }
        }
        // Invalid UTF-8 that still has a character's shape (an overlong form, a surrogate) stands
        // for one character.
        const std::size_t length = c.valid ? c.length : std::max<std::size_t>(Utf8SequenceLength(utf8, i), 1);
        *at++ = '?';
        if (unmapped) unmapped->emplace_back(utf8.substr(i, length));
        i += length;
    }
    written += static_cast<std::size_t>(at - buffer);
    if (kWrite) out->append(buffer, static_cast<std::size_t>(at - buffer));
    return written;
}
}  // namespace

void AppendUtf8AsCp932(std::string& out, std::string_view utf8, std::vector<std::string>* unmapped) {
    ConvertUtf8ToCp932<true>(&out, utf8, unmapped);
}

std::size_t Cp932Length(std::string_view utf8, std::vector<std::string>* unmapped) {
    return ConvertUtf8ToCp932<false>(nullptr, utf8, unmapped);
}

std::string Utf8ToCp932(const std::string& utf8, std::vector<std::string>* unmapped) {
    std::string out;
    AppendUtf8AsCp932(out, utf8, unmapped);
    return out;
}

namespace {
// How many of source's length bytes are kept within room bytes without splitting a character.
std::size_t Cp932Cut(const char* source, std::size_t length, std::size_t room) {
    if (length <= room) return length;
    // A byte that can lead no character ends one (it is a character or a pair's trail byte), so
    // characters start again after it: the lead bytes that follow the last such byte before the
    // cut pair up from there, and an odd one out at the cut would lose its trail byte.
    std::size_t leads = 0;
    while (leads < room && cp932::IsLeadByte(static_cast<unsigned char>(source[room - 1 - leads]))) ++leads;
    return room - leads % 2;
}
}  // namespace

std::size_t Cp932TruncatedLength(const char* source, int limit) {
    const std::size_t room = limit < 0 ? 0 : static_cast<std::size_t>(limit);
    std::size_t length = 0;
    while (length <= room && source[length] != '\0') ++length;
    return Cp932Cut(source, length, room);
}

std::size_t Cp932TruncatedLength(std::string_view source, int limit) {
    const std::size_t room = limit < 0 ? 0 : static_cast<std::size_t>(limit);
    const std::size_t look = std::min(source.size(), room + 1);
    const void* nul = std::memchr(source.data(), '\0', look);
    return Cp932Cut(source.data(), nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - source.data()) : look, room);
}

void CopyCp932Truncated(char* destination, const char* source, int limit) {
    const std::size_t cut = Cp932TruncatedLength(source, limit);
    std::memcpy(destination, source, cut);
    destination[cut] = '\0';
}
