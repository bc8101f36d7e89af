#pragma once
// CP932's table (text/Cp932Table.cpp, made by tools/Cp932TableGen.cpp from glibc iconv's
// "CP932") and the rules that complete it; the tool checks each rule against iconv.
#include <cstddef>
#include <cstdint>

namespace cp932 {
// Lead bytes 0x81-0x9F and 0xE0-0xFC; trail bytes 0x40-0xFC.
constexpr int kLeadCount = 60;
constexpr int kFirstTrail = 0x40, kLastTrail = 0xFC;
constexpr int kTrailCount = kLastTrail - kFirstTrail + 1;

constexpr bool IsLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }
// The lead byte's row of kDoubleByte; -1 for no lead byte.
constexpr int LeadIndex(unsigned char lead) {
    return lead >= 0x81 && lead <= 0x9F ? lead - 0x81 : lead >= 0xE0 && lead <= 0xFC ? lead - 0xE0 + 31
                                                                                     : -1;
}

// The code point of each lead and trail byte pair (all in the BMP); 0 where the pair is no character.
extern const std::uint16_t kDoubleByte[kLeadCount][kTrailCount];

// A character with several codes is written as the first of them (in code order) outside rows
// ED and EE (NEC's copies of IBM's characters, which are also at FA to FC); the first of all otherwise.
inline std::uint16_t PreferredCode(const std::uint16_t* codes, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
        if (codes[k] >> 8 != 0xED && codes[k] >> 8 != 0xEE) return codes[k];
    return codes[0];
}

// Characters written as a code that reads back as another (¥ as \, − as －, …).
struct OneWay {
    std::uint16_t codePoint;
    std::uint16_t code;  // one byte when below 0x100
};
extern const OneWay kOneWay[];
extern const std::size_t kOneWayCount;

// Unicode's tag characters (U+E0000 to U+E007F) are dropped, not refused.
constexpr bool IsIgnoredTag(char32_t c) { return c >= 0xE0000 && c <= 0xE007F; }
}  // namespace cp932
