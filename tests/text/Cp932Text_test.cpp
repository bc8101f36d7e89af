#include "text/Cp932Text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/Utf8.h"
#include "support/TextReference.h"

namespace {
// The converter the program used before it had its own table, glibc iconv's "CP932" with the
// same fallbacks, run beside the codec: each text that either direction converts differently
// is counted, the first few named.
class AgainstIconv {
public:
    AgainstIconv() : m_decoder(iconv_open("UTF-8", "CP932")), m_encoder(iconv_open("CP932", "UTF-8")) {
        if (m_decoder == reinterpret_cast<iconv_t>(-1) || m_encoder == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv_open");
    }
    ~AgainstIconv() {
        iconv_close(m_decoder);
        iconv_close(m_encoder);
    }
    AgainstIconv(const AgainstIconv&) = delete;
    AgainstIconv& operator=(const AgainstIconv&) = delete;

    void Decode(const std::string& cp932) {
        bool valid = true;
        const std::string expected = Convert(m_decoder, cp932, [&valid](std::string& out, std::size_t) {
            out += "\xEF\xBF\xBD";
            valid = false;
            return std::size_t{1};
        });
        std::string actual;
        Check(Cp932ToUtf8(cp932, actual) == valid && actual == expected, "decoding", cp932);
    }

    void Encode(const std::string& utf8) {
        std::vector<std::string> unmapped, actualUnmapped;
        const std::string expected = Convert(m_encoder, utf8, [&utf8, &unmapped](std::string& out, std::size_t at) {
            out += '?';
            const std::size_t length = std::max<std::size_t>(Utf8Length(utf8, at), 1);
            unmapped.push_back(utf8.substr(at, length));
            return length;
        });
        Check(Utf8ToCp932(utf8, &actualUnmapped) == expected && actualUnmapped == unmapped, "encoding", utf8);
    }

    std::size_t Differences() const { return m_differences; }

private:
    void Check(bool same, const char* what, const std::string& text) {
        if (!same && ++m_differences <= 10) ADD_FAILURE() << what << " differs from iconv's for " << testing::PrintToString(text);
    }

    // The bytes a lead byte announces when they follow; 0 otherwise.
    static std::size_t Utf8Length(const std::string& text, std::size_t at) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0
                                                 : lead < 0xE0   ? 2
                                                 : lead < 0xF0   ? 3
                                                 : lead < 0xF5   ? 4
                                                                 : 0;
        if (length == 0 || at + length > text.size()) return 0;
        for (std::size_t i = 1; i < length; ++i)
            if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
        return length;
    }

    // On a sequence iconv cannot convert, fallback appends what stands for it and says how many bytes it covers.
    template <typename Fallback>
    static std::string Convert(iconv_t cd, const std::string& text, Fallback fallback) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (result != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) continue;
            const std::size_t skip = fallback(out, static_cast<std::size_t>(in - text.data()));
            in += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

    iconv_t m_decoder, m_encoder;
    std::size_t m_differences = 0;
};

TEST(Cp932Text, DecodesEveryByteAndEveryPairAsIconv) {
    AgainstIconv codec;
    for (int first = 0; first < 256; ++first) {
        codec.Decode(std::string(1, static_cast<char>(first)));
        for (int second = 0; second < 256; ++second) codec.Decode({static_cast<char>(first), static_cast<char>(second)});
    }
    EXPECT_EQ(codec.Differences(), 0u);
}

TEST(Cp932Text, EncodesEveryScalarValueAsIconv) {
    AgainstIconv codec;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c == 0xD800) c = 0xE000;
        std::string text;
        AppendUtf8(text, c);
        codec.Encode(text);
    }
    EXPECT_EQ(codec.Differences(), 0u);
}

// Invalid UTF-8 of every shape, and random mixtures of characters, broken characters and
// bytes that are no CP932 character, in both directions.
TEST(Cp932Text, InvalidAndMixedTextAsIconv) {
    AgainstIconv codec;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) codec.Encode({static_cast<char>(first), static_cast<char>(second)});
        if (first < 0xE0 || first > 0xF7) continue;
        for (int second = 0x80; second < 0xC0; ++second) {
            for (int third = 0x80; third < 0xC0; ++third) {
                if (first < 0xF0) codec.Encode({static_cast<char>(first), static_cast<char>(second), static_cast<char>(third)});
                if (first >= 0xF0 && (third == 0x80 || third == 0xBF))
                    for (const char fourth : {'\x80', '\xBF', 'A'})
                        codec.Encode({static_cast<char>(first), static_cast<char>(second), static_cast<char>(third), fourth});
            }
        }
    }
    const std::string pieces[] = {"A", "\\", "~", "\x80", "\xA0", "\xB1", "\xFD", "\xFF", "\x81", "\x82\xA0", "\x87\x40",
                                  "\xED\x40", "\xFA\x40", "\xF0\x40", "\x81\x7F", "\x9F\xFC", "\xE3\x81\x82", "\xC2\xA5",
                                  "\xF0\x9F\x98\x80", "\xF3\xA0\x81\x81", "\xED\xA0\x80", "\xE0\x80\x80", "\xC0\xAF"};
    std::mt19937 random(932);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1), count(1, 8);
    for (int k = 0; k < 20000; ++k) {
        std::string text;
        for (std::size_t n = count(random); n > 0; --n) text += pieces[piece(random)];
        codec.Decode(text);
        codec.Encode(text);
    }
    EXPECT_EQ(codec.Differences(), 0u);
}

TEST(Cp932Text, VendorCharactersAndWhatHasNoCode) {
    const struct {
        std::string utf8;
        std::string cp932;
        std::vector<std::string> unmapped;
        std::string back;  // cp932 read back
    } cases[] = {
        {"～①ⅰ髙", "\x81\x60\x87\x40\xFA\x40\xFB\xFC", {}, "～①ⅰ髙"},
        {"ｱｲ", "\xB1\xB2", {}, "ｱｲ"},
        {"♨温泉😀é", "?\x89\xB7\x90\xF2??", {"♨", "😀", "é"}, "?温泉??"},
        {"𠮷野家", "?\x96\xEC\x89\xC6", {"𠮷"}, "?野家"},
        // Written one way only; a tag character is dropped.
        {"¥‾−\xF3\xA0\x81\x81", "\\~\x81\x7C", {}, "\\~－"},
        {"\xE0\x80\x80"
         "\xC0\xAF",
         "???",
         {"\xE0\x80\x80", "\xC0", "\xAF"},
         "???"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::vector<std::string> unmapped;
        EXPECT_EQ(Utf8ToCp932(c.utf8, &unmapped), c.cp932);
        EXPECT_EQ(unmapped, c.unmapped);
        std::string appended = "\x82\xA0";
        AppendUtf8AsCp932(appended, c.utf8);
        EXPECT_EQ(appended, "\x82\xA0" + c.cp932);
        std::string utf8;
        EXPECT_TRUE(Cp932ToUtf8(c.cp932, utf8));
        EXPECT_EQ(utf8, c.back);
    }
    std::string broken;
    EXPECT_FALSE(Cp932ToUtf8("A\x81", broken));
    EXPECT_EQ(broken, "A\xEF\xBF\xBD");
}

TEST(Cp932Text, CutNeverSplitsACharacter) {
    struct Case {
        const char* what;
        std::string source;
        int limit;
        std::string expected;
    };
    const std::string kanji = "\x93\x8C";  // one double-byte character
    std::string eightKanji;
    for (int i = 0; i < 8; ++i) eightKanji += kanji;
    const Case cases[] = {
        {"short", "abc", 16, "abc"},
        {"empty", "", 16, ""},
        {"exactly the limit", "0123456789ABCDEF", 16, "0123456789ABCDEF"},
        {"twenty single bytes", "0123456789ABCDEFGHIJ", 16, "0123456789ABCDEF"},
        {"single byte then eight double", "A" + eightKanji, 16, "A" + eightKanji.substr(0, 14)},
        {"eight double then single byte", eightKanji + "A", 16, eightKanji},
        {"trail byte in the lead range", std::string(14, 'a') + "\x88\x9F" + "b", 16, std::string(14, 'a') + "\x88\x9F"},
        {"lead byte of E0-FC range", std::string(15, 'a') + "\xE0\x40", 16, std::string(15, 'a')},
        {"half-width katakana are single", std::string(15, '\xB1') + "\xB2\xB3", 16, std::string(15, '\xB1') + "\xB2"},
        {"0xA0 is a single byte", std::string(15, 'a') + "\xA0\x40", 16, std::string(15, 'a') + "\xA0"},
        {"0x80 is a single byte", std::string(15, 'a') + "\x80\x40", 16, std::string(15, 'a') + "\x80"},
        {"0xFD is a single byte", std::string(15, 'a') + "\xFD\x40", 16, std::string(15, 'a') + "\xFD"},
        {"0x81 starts a character", std::string(15, 'a') + "\x81\x40", 16, std::string(15, 'a')},
        {"0x9F starts a character", std::string(15, 'a') + "\x9F\x40", 16, std::string(15, 'a')},
        {"0xFC starts a character", std::string(15, 'a') + "\xFC\x40", 16, std::string(15, 'a')},
        {"limit of one on a lead byte", kanji, 1, ""},
        {"limit of zero", "abc", 0, ""},
        {"NUL ends the text", std::string("ab\0cd", 5), 16, "ab"},
    };
    for (const Case& c : cases) {
        char destination[32];
        std::fill(std::begin(destination), std::end(destination), '\x55');
        CopyCp932Truncated(destination, c.source.c_str(), c.limit);
        EXPECT_EQ(std::string(destination), c.expected) << c.what;
        EXPECT_EQ(destination[c.expected.size()], '\0') << c.what;
        EXPECT_EQ(destination[c.expected.size() + 1], '\x55') << c.what << ": wrote past the terminator";
        EXPECT_EQ(Cp932TruncatedLength(std::string_view(c.source), c.limit), c.expected.size()) << c.what;
    }
}

// Long and short random texts (the conversion writes through a buffer of 256 bytes), converted
// alone and appended to a text.
TEST(Cp932Text, TextsOfAnyLengthAsIconv) {
    AgainstIconv codec;
    std::mt19937 random(932);
    for (int round = 0; round < 2200; ++round) {
        const std::string text = textref::RandomText(random, static_cast<std::size_t>(round < 2000 ? round % 41 : 100 + round % 301));
        codec.Encode(text);
        std::string appended = "\x82\xA0";
        AppendUtf8AsCp932(appended, text);
        std::vector<std::string> unmapped, counted;
        const std::string converted = Utf8ToCp932(text, &unmapped);
        if (appended != "\x82\xA0" + converted) ADD_FAILURE() << "appended differently: " << testing::PrintToString(text);
        if (Cp932Length(text, &counted) != converted.size() || counted != unmapped)
            ADD_FAILURE() << "counted differently: " << testing::PrintToString(text);
    }
    EXPECT_EQ(codec.Differences(), 0u);
}

// Both cuts against walking whole characters from the start, for random CP932-like bytes (lead
// bytes, trail bytes in the lead range, single bytes, NUL) of 0 to 40 bytes and every limit. The
// text of the view is a copy of its exact size, so that a read past it fails under the sanitizer.
TEST(Cp932Text, CutsAsWalkingFromTheStart) {
    const unsigned char bytes[] = {'a', 0x00, 0x40, 0x7E, 0x80, 0x81, 0x88, 0x9F, 0xA0, 0xA1, 0xDF, 0xE0, 0xEA, 0xFC, 0xFD, 0xFF};
    std::mt19937 random(16);
    std::size_t failures = 0;
    for (int round = 0; round < 20000 && failures == 0; ++round) {
        std::string text;
        for (int k = round % 41; k > 0; --k) text += static_cast<char>(bytes[random() % std::size(bytes)]);
        const std::unique_ptr<char[]> exact(new char[text.size()]);
        std::memcpy(exact.get(), text.data(), text.size());
        const std::string_view view(exact.get(), text.size());
        const std::size_t nul = std::min(text.find('\0'), text.size());
        for (int limit = -1; limit <= 42; ++limit) {
            const std::size_t room = limit < 0 ? 0 : static_cast<std::size_t>(limit);
            const std::size_t expected = textref::Cp932Cut(text, std::min(nul, room + 1), room);
            failures += Cp932TruncatedLength(text.c_str(), limit) != expected;
            failures += Cp932TruncatedLength(view, limit) != expected;
            if (failures > 0) {
                ADD_FAILURE() << testing::PrintToString(text) << " cut to " << limit;
                break;
            }
        }
    }
}
}  // namespace
