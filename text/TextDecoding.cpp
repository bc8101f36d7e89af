#include "text/TextDecoding.h"

#include <cstring>

#include "text/Cp932Text.h"
#include "text/MapError.h"
#include "text/SafeText.h"
#include "text/MapText.h"

namespace {
constexpr char kReplacement[] = "\xEF\xBF\xBD";

enum class Encoding {
    utf8,
    utf16le,
    utf16be,
    utf32le,
    utf32be,
    cp932,
    eucjp,
    latin1,
    unknown
};

bool StartsWith(const std::string& bytes, const char* prefix, std::size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

[[noreturn]] void NotOfEncoding(const std::string& fileName, int line, const char* encoding) {
    throw MapError({MessageId::notOfEncoding, fileName, line, encoding});
}

// UTF-16 from offset on; the line of a failure is counted in what was decoded before it.
std::string FromUtf16(const std::string& bytes, std::size_t at, bool bigEndian, const std::string& fileName) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    int line = 1;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    for (; at + 1 < bytes.size(); at += 2) {
        char32_t c = unit(at);
        if (c >= 0xD800 && c <= 0xDBFF && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            NotOfEncoding(fileName, line, "UTF-16");
        }
        line += c == '\n';
        AppendUtf8(out, c);
    }
    if (at < bytes.size()) NotOfEncoding(fileName, line, "UTF-16");
    return out;
}

std::string FromUtf32(const std::string& bytes, std::size_t at, bool bigEndian, const std::string& fileName) {
    std::string out;
    out.reserve(bytes.size());
    int line = 1;
    for (; at + 3 < bytes.size(); at += 4) {
        char32_t c = 0;
        for (int k = 0; k < 4; ++k)
            c |= static_cast<char32_t>(static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]))
                 << (bigEndian ? 8 * (3 - k) : 8 * k);
        // Beyond U+10FFFF or a surrogate: no character, so never written on as invalid UTF-8.
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) NotOfEncoding(fileName, line, "UTF-32");
        line += c == '\n';
        AppendUtf8(out, c);
    }
    if (at < bytes.size()) NotOfEncoding(fileName, line, "UTF-32");
    return out;
}

// "3, 7 行目" for the lines of the text that hold a U+FFFD made by decoding.
void WarnReplaced(const std::string& utf8, const std::string& fileName, const Message& encoding,
                  std::vector<Message>& warnings) {
    std::string lines;
    int count = 0;
    // One pass over the lines: most files have none or a few.
    int line = 1, previous = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\n') {
            ++line;
            continue;
        }
        if (utf8[i] != kReplacement[0] || utf8.compare(i, 3, kReplacement) != 0) continue;
        i += 2;
        if (line == previous) continue;
        previous = line;
        if (++count <= 10) lines += (lines.empty() ? "" : ", ") + std::to_string(line);
    }
    if (count == 0) return;
    warnings.push_back({count > 1 ? MessageId::manyLinesReplaced : MessageId::linesReplaced, fileName,
                        count > 10 ? Message(MessageId::moreLines, lines, count - 10) : Message(lines), encoding});
}

std::string FromCp932(const std::string& bytes, std::size_t at, const std::string& fileName,
                      std::vector<Message>& warnings) {
    std::string utf8;
    if (!Cp932ToUtf8(at == 0 ? bytes : bytes.substr(at), utf8)) WarnReplaced(utf8, fileName, MessageId::encodingCp932, warnings);
    return utf8;
}

// EUC-JP's JIS X 0208 pairs are the same rows and cells as Shift_JIS's, so each becomes its
// CP932 pair and one table serves; half-width kana follow 0x8E. JIS X 0212 (after 0x8F) has no
// CP932 form.
std::string FromEucJp(const std::string& bytes, const std::string& fileName, std::vector<Message>& warnings) {
    std::string out, run;
    out.reserve(bytes.size() * 3 / 2);
    bool replaced = false;
    const auto flush = [&] {
        std::string utf8;
        // A pair made from rows CP932 leaves empty, or a bare trail byte, is no character.
        replaced = !Cp932ToUtf8(run, utf8) || replaced;
        out += utf8;
        run.clear();
    };
    const auto isEuc = [](unsigned char c) { return c >= 0xA1 && c <= 0xFE; };
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const auto next = static_cast<unsigned char>(i + 1 < bytes.size() ? bytes[i + 1] : 0);
        if (c < 0x80) {
            run += static_cast<char>(c);
            ++i;
        } else if (c == 0x8E && next >= 0xA1 && next <= 0xDF) {
            run += static_cast<char>(next);
            i += 2;
        } else if (isEuc(c) && isEuc(next)) {
            const unsigned j1 = c - 0x80u, j2 = next - 0x80u;
            run += static_cast<char>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
            run += static_cast<char>(j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E));
            i += 2;
        } else {
            // JIS X 0212 takes three bytes; anything else one.
            const bool threeBytes = c == 0x8F && isEuc(next) && i + 2 < bytes.size() &&
                                    isEuc(static_cast<unsigned char>(bytes[i + 2]));
            flush();
            out += kReplacement;
            replaced = true;
            i += threeBytes ? 3 : 1;
        }
    }
    flush();
    if (replaced) WarnReplaced(out, fileName, "EUC-JP", warnings);
    return out;
}

std::string FromLatin1(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

// Windows-1252: Latin-1 with typographic marks in 0x80...0x9F; five bytes there are no character.
std::string FromWindows1252(const std::string& bytes) {
    static const char16_t kHigh[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                                       0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? char32_t{kHigh[byte - 0x80]} : char32_t{byte});
    }
    return out;
}

// Text that is no CP932 may be a European device's Windows-1252: it holds none of the five bytes
// that encoding lacks and no kana, which Japanese text nearly always has.
bool LooksLikeWindows1252(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) return false;
        const auto next = static_cast<unsigned char>(i + 1 < bytes.size() ? bytes[i + 1] : 0);
        if ((c == 0x82 && next >= 0x9F && next <= 0xF1) || (c == 0x83 && next >= 0x40 && next <= 0x96)) return false;
    }
    return true;
}

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The encoding the XML declaration names, lower case; empty when it names none.
std::string DeclaredEncoding(const std::string& bytes, std::size_t at) {
    if (bytes.compare(at, 5, "<?xml") != 0) return {};
    const std::size_t end = bytes.find("?>", at);
    if (end == std::string::npos || end > at + 1024) return {};
    const std::string declaration = bytes.substr(at, end - at);
    std::size_t key = declaration.find("encoding");
    if (key == std::string::npos) return {};
    key = declaration.find_first_not_of(" \t\r\n", key + 8);
    if (key == std::string::npos || declaration[key] != '=') return {};
    key = declaration.find_first_not_of(" \t\r\n", key + 1);
    if (key == std::string::npos || (declaration[key] != '"' && declaration[key] != '\'')) return {};
    const std::size_t close = declaration.find(declaration[key], key + 1);
    if (close == std::string::npos) return {};
    return Lowered(declaration.substr(key + 1, close - key - 1));
}

Encoding EncodingNamed(const std::string& name) {
    static const struct {
        const char* name;
        Encoding encoding;
    } kNames[] = {
        {"utf-8", Encoding::utf8},
        {"utf8", Encoding::utf8},
        {"shift_jis", Encoding::cp932},
        {"shift-jis", Encoding::cp932},
        {"sjis", Encoding::cp932},
        {"x-sjis", Encoding::cp932},
        {"windows-31j", Encoding::cp932},
        {"cp932", Encoding::cp932},
        {"ms932", Encoding::cp932},
        {"ms_kanji", Encoding::cp932},
        {"csshiftjis", Encoding::cp932},
        {"euc-jp", Encoding::eucjp},
        {"eucjp", Encoding::eucjp},
        {"x-euc-jp", Encoding::eucjp},
        {"iso-8859-1", Encoding::latin1},
        {"latin1", Encoding::latin1},
        {"us-ascii", Encoding::utf8},
        {"ascii", Encoding::utf8},
        // Declared, but without the byte-order mark or zero bytes that would make it so.
        {"utf-16", Encoding::utf8},
        {"utf-32", Encoding::utf8},
    };
    for (const auto& known : kNames)
        if (name == known.name) return known.encoding;
    return Encoding::unknown;
}

std::string RequireUtf8(std::string bytes, std::size_t at, const std::string& fileName) {
    const std::size_t bad = FirstInvalidUtf8(std::string_view(bytes).substr(at));
    if (bad != std::string::npos) {
        int line = 1;
        for (std::size_t i = at; i < at + bad; ++i) line += bytes[i] == '\n';
        NotOfEncoding(fileName, line, "UTF-8");
    }
    if (at > 0) bytes.erase(0, at);
    return bytes;
}
}  // namespace

std::string DecodeTableText(std::string bytes, const std::string& fileName, std::vector<Message>& warnings) {
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3)) return RequireUtf8(std::move(bytes), 3, fileName);
    if (StartsWith(bytes, "\xFF\xFE", 2)) return FromUtf16(bytes, 2, false, fileName);
    if (StartsWith(bytes, "\xFE\xFF", 2)) return FromUtf16(bytes, 2, true, fileName);
    // Without a mark, UTF-16 of a header line shows a zero byte beside each letter.
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0') return FromUtf16(bytes, 0, false, fileName);
    if (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] != '\0') return FromUtf16(bytes, 0, true, fileName);
    if (FirstInvalidUtf8(bytes) == std::string::npos) return bytes;
    std::string utf8;
    if (Cp932ToUtf8(bytes, utf8)) return utf8;
    if (LooksLikeWindows1252(bytes)) {
        warnings.push_back({MessageId::readAsWindows1252, fileName});
        return FromWindows1252(bytes);
    }
    WarnReplaced(utf8, fileName, MessageId::encodingCp932, warnings);
    return utf8;
}

std::string DecodeXmlText(std::string bytes, const std::string& fileName, std::vector<Message>& warnings) {
    if (StartsWith(bytes, "\xFF\xFE\0\0", 4)) return FromUtf32(bytes, 4, false, fileName);
    if (StartsWith(bytes, "\0\0\xFE\xFF", 4)) return FromUtf32(bytes, 4, true, fileName);
    if (StartsWith(bytes, "<\0\0\0", 4)) return FromUtf32(bytes, 0, false, fileName);
    if (StartsWith(bytes, "\0\0\0<", 4)) return FromUtf32(bytes, 0, true, fileName);
    if (StartsWith(bytes, "\xFF\xFE", 2)) return FromUtf16(bytes, 2, false, fileName);
    if (StartsWith(bytes, "\xFE\xFF", 2)) return FromUtf16(bytes, 2, true, fileName);
    if (StartsWith(bytes, "<\0", 2)) return FromUtf16(bytes, 0, false, fileName);
    if (StartsWith(bytes, "\0<", 2)) return FromUtf16(bytes, 0, true, fileName);
    const std::size_t at = StartsWith(bytes, "\xEF\xBB\xBF", 3) ? 3 : 0;
    const std::string declared = DeclaredEncoding(bytes, at);
    switch (declared.empty() ? Encoding::utf8 : EncodingNamed(declared)) {
    case Encoding::cp932:
        return FromCp932(bytes, at, fileName, warnings);
    case Encoding::eucjp:
        return FromEucJp(at == 0 ? bytes : bytes.substr(at), fileName, warnings);
    case Encoding::latin1:
        return FromLatin1(at == 0 ? bytes : bytes.substr(at));
    case Encoding::unknown:
        // Text that is UTF-8 whatever its declaration says is read as such.
        if (FirstInvalidUtf8(bytes) != std::string::npos)
            throw MapError({MessageId::unknownEncoding, fileName, Excerpt(ValidUtf8(declared))});
        return RequireUtf8(std::move(bytes), at, fileName);
    default:
        return RequireUtf8(std::move(bytes), at, fileName);
    }
}
