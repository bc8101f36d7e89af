// Writes text/Cp932Table.cpp from glibc iconv's "CP932", the converter the program used
// before it had tables of its own: quorvel-cp932-table > text/Cp932Table.cpp
// It also checks every rule text/Cp932Text.cpp adds to the table (the single bytes, which
// of several codes a character is written as, the ignored tag characters) and fails when
// iconv disagrees with one, so that the codec stays exactly iconv's.
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "text/Cp932Table.h"

namespace {
// Converts all of in, or returns false (iconv refused some of it).
bool Convert(iconv_t cd, const std::string& in, std::string& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buffer[16];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    out.assign(buffer, static_cast<std::size_t>(outPtr - buffer));
    return ok && inLeft == 0;
}

std::string Utf32(char32_t c) {
    const std::uint32_t value = c;
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

char32_t CodePoint(const std::string& utf32) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) value |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf32[k])) << (8 * k);
    return value;
}

std::uint16_t Code(const std::string& cp932) {
    if (cp932.size() == 1) return static_cast<unsigned char>(cp932[0]);
    return static_cast<std::uint16_t>(static_cast<unsigned char>(cp932[0]) << 8 | static_cast<unsigned char>(cp932[1]));
}

int failures = 0;
void Fail(const char* what, unsigned value) {
    std::fprintf(stderr, "iconv disagrees with the rule for %s: %04X\n", what, value);
    ++failures;
}
}  // namespace

int main() {
    const iconv_t decoder = iconv_open("UTF-32LE", "CP932");
    const iconv_t encoder = iconv_open("CP932", "UTF-32LE");
    if (decoder == reinterpret_cast<iconv_t>(-1) || encoder == reinterpret_cast<iconv_t>(-1)) {
        std::perror("iconv_open CP932");
        return 1;
    }
    std::string out;
    for (unsigned byte = 0; byte < 256; ++byte) {
        const bool single = Convert(decoder, std::string(1, static_cast<char>(byte)), out);
        const bool expected = byte < 0x80 || (byte >= 0xA1 && byte <= 0xDF);
        if (single != expected || (single && CodePoint(out) != (byte < 0x80 ? byte : byte - 0xA1 + 0xFF61))) Fail("single byte", byte);
        if (!single && cp932::IsLeadByte(static_cast<unsigned char>(byte)) == (byte == 0x80 || byte == 0xA0 || byte >= 0xFD))
            Fail("lead byte", byte);
    }

    // Every lead and trail byte pair, and which codes each character has.
    std::uint16_t table[cp932::kLeadCount][cp932::kTrailCount] = {};
    std::map<char32_t, std::vector<std::uint16_t>> codes;
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            if (!Convert(decoder, pair, out) || out.size() != 4) continue;
            const int row = cp932::LeadIndex(static_cast<unsigned char>(lead));
            if (row < 0 || trail < cp932::kFirstTrail || trail > cp932::kLastTrail || CodePoint(out) > 0xFFFF) {
                Fail("pair outside the table", static_cast<unsigned>(lead << 8 | trail));
                continue;
            }
            table[row][trail - cp932::kFirstTrail] = static_cast<std::uint16_t>(CodePoint(out));
            codes[CodePoint(out)].push_back(static_cast<std::uint16_t>(lead << 8 | trail));
        }
    }

    // Each character is written as the code the rule picks; characters no code decodes to but
    // iconv writes all the same are listed.
    std::vector<std::pair<char32_t, std::uint16_t>> oneWay;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const bool written = Convert(encoder, Utf32(c), out);
        if (cp932::IsIgnoredTag(c)) {
            if (!written || !out.empty()) Fail("tag character", static_cast<unsigned>(c));
            continue;
        }
        const auto found = codes.find(c);
        const bool singleByte = c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F);
        if (singleByte) {
            if (!written || out.size() != 1 || Code(out) != (c < 0x80 ? c : c - 0xFF61 + 0xA1)) Fail("single-byte character", c);
        } else if (found != codes.end()) {
            if (!written || Code(out) != cp932::PreferredCode(found->second.data(), found->second.size())) Fail("character", c);
        } else if (written) {
            if (c > 0xFFFF) Fail("character beyond the BMP", c);
            oneWay.emplace_back(c, Code(out));
        }
    }
    if (failures) return 1;

    std::printf(
        "// Made by tools/Cp932TableGen.cpp from glibc iconv's \"CP932\"; not edited by hand.\n"
        "#include \"text/Cp932Table.h\"\n\nnamespace cp932 {\n"
        "const std::uint16_t kDoubleByte[kLeadCount][kTrailCount] = {\n");
    for (int row = 0; row < cp932::kLeadCount; ++row) {
        std::printf("    {  // lead byte %02X\n", row < 31 ? 0x81 + row : 0xE0 + row - 31);
        for (int k = 0; k < cp932::kTrailCount; ++k)
            std::printf("%s0x%04X,%s", k % 12 == 0 ? "        " : " ", table[row][k], k % 12 == 11 || k == cp932::kTrailCount - 1 ? "\n" : "");
        std::printf("    },\n");
    }
    std::printf("};\n\nconst OneWay kOneWay[] = {\n");
    for (const auto& [c, code] : oneWay) std::printf("    {0x%04X, 0x%0*X},\n", static_cast<unsigned>(c), code > 0xFF ? 4 : 2, code);
    std::printf("};\nconst std::size_t kOneWayCount = sizeof kOneWay / sizeof kOneWay[0];\n}  // namespace cp932\n");
    return 0;
}
