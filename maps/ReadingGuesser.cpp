#include "maps/ReadingGuesser.h"

#include <cstring>

#include "maps/MapText.h"

#ifdef QUORVEL_HAVE_MECAB
#include <mecab.h>
#endif

namespace {
constexpr char32_t kHiraganaToKatakana = 0x60;

// Half-width forms of U+30A1 (ァ) to U+30FA (ヺ), in order. The old and small letters that have
// none take their nearest sound (ヰ ｲ, ヱ ｴ, ヮ ﾜ, ヵ ｶ, ヶ ｹ).
const char* const kHalfWidth[] = {
    "ｧ", "ｱ", "ｨ", "ｲ", "ｩ", "ｳ", "ｪ", "ｴ", "ｫ", "ｵ",                          // ァ-オ
    "ｶ", "ｶﾞ", "ｷ", "ｷﾞ", "ｸ", "ｸﾞ", "ｹ", "ｹﾞ", "ｺ", "ｺﾞ",                    // カ-ゴ
    "ｻ", "ｻﾞ", "ｼ", "ｼﾞ", "ｽ", "ｽﾞ", "ｾ", "ｾﾞ", "ｿ", "ｿﾞ",                    // サ-ゾ
    "ﾀ", "ﾀﾞ", "ﾁ", "ﾁﾞ", "ｯ", "ﾂ", "ﾂﾞ", "ﾃ", "ﾃﾞ", "ﾄ", "ﾄﾞ",               // タ-ド
    "ﾅ", "ﾆ", "ﾇ", "ﾈ", "ﾉ",                                                    // ナ-ノ
    "ﾊ", "ﾊﾞ", "ﾊﾟ", "ﾋ", "ﾋﾞ", "ﾋﾟ", "ﾌ", "ﾌﾞ", "ﾌﾟ", "ﾍ", "ﾍﾞ", "ﾍﾟ", "ﾎ", "ﾎﾞ", "ﾎﾟ",  // ハ-ポ
    "ﾏ", "ﾐ", "ﾑ", "ﾒ", "ﾓ",                                                    // マ-モ
    "ｬ", "ﾔ", "ｭ", "ﾕ", "ｮ", "ﾖ",                                              // ャ-ヨ
    "ﾗ", "ﾘ", "ﾙ", "ﾚ", "ﾛ",                                                    // ラ-ロ
    "ﾜ", "ﾜ", "ｲ", "ｴ", "ｦ", "ﾝ", "ｳﾞ", "ｶ", "ｹ", "ﾜﾞ", "ｲﾞ", "ｴﾞ", "ｦﾞ",   // ヮ-ヺ
};
constexpr char32_t kFirstKatakana = 0x30A1;
constexpr char32_t kLastKatakana = 0x30FA;
static_assert(sizeof kHalfWidth / sizeof kHalfWidth[0] == kLastKatakana - kFirstKatakana + 1);

const char* HalfWidthSign(char32_t c) {
    switch (c) {
    case 0x30FC: return "ｰ";
    case 0x30FB: return "･";
    case 0x300C: return "｢";
    case 0x300D: return "｣";
    case 0x3002: return "｡";
    case 0x3001: return "､";
    case 0x309B: return "ﾞ";
    case 0x309C: return "ﾟ";
    case 0x3000: return " ";
    default: return nullptr;
    }
}

bool IsHiragana(char32_t c) { return c >= 0x3041 && c <= 0x3096; }
bool IsKatakana(char32_t c) { return (c >= kFirstKatakana && c <= kLastKatakana) || c == 0x30FC; }
}  // namespace

std::string ToHalfWidthKatakana(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        char32_t c = NextCodePoint(text, i);
        if (IsHiragana(c)) c += kHiraganaToKatakana;
        if (c >= kFirstKatakana && c <= kLastKatakana)
            out += kHalfWidth[c - kFirstKatakana];
        else if (const char* sign = HalfWidthSign(c))
            out += sign;
        else
            out.append(text, start, i - start);
    }
    return out;
}

#ifdef QUORVEL_HAVE_MECAB
namespace {
constexpr int kReadingField = 7;  // ipadic: part of speech (6 fields), base form, reading, pronunciation

// The reading field of a node's comma-separated features; false when it has none ("*" or absent).
bool ReadingOf(const char* feature, std::string& reading) {
    const char* at = feature;
    for (int field = 0; field < kReadingField; ++field) {
        at = std::strchr(at, ',');
        if (!at) return false;
        ++at;
    }
    const char* end = std::strchr(at, ',');
    reading.assign(at, end ? static_cast<std::size_t>(end - at) : std::strlen(at));
    return !reading.empty() && reading != "*";
}

// A word the dictionary does not know keeps its surface when that is kana (as katakana).
bool KanaSurface(const char* surface, std::size_t length, std::string& reading) {
    reading.clear();
    const std::string_view text(surface, length);
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = NextCodePoint(text, i);
        if (IsHiragana(c)) c += kHiraganaToKatakana;
        if (!IsKatakana(c)) return false;
        AppendUtf8(reading, c);
    }
    return !reading.empty();
}

class MecabGuesser : public ReadingGuesser {
public:
    explicit MecabGuesser(MeCab::Tagger* tagger) : m_tagger(tagger) {}

    // A partial reading would be taken for the whole one: any word without one gives none.
    std::string Guess(const std::string& name) override {
        std::string reading, word;
        for (const MeCab::Node* node = m_tagger->parseToNode(name.c_str()); node; node = node->next) {
            if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
            const bool known = node->stat != MECAB_UNK_NODE && ReadingOf(node->feature, word);
            if (!known && !KanaSurface(node->surface, node->length, word)) return {};
            reading += word;
        }
        return reading;
    }

private:
    std::unique_ptr<MeCab::Tagger> m_tagger;
};

// Only a UTF-8 dictionary gives readings this program can use.
MeCab::Tagger* OpenTagger(const char* arguments) {
    MeCab::Tagger* tagger = MeCab::createTagger(arguments);
    if (!tagger) return nullptr;
    const MeCab::DictionaryInfo* info = tagger->dictionary_info();
    const bool utf8 = info && info->charset && (std::strcmp(info->charset, "utf8") == 0 || std::strcmp(info->charset, "UTF-8") == 0 ||
                                              std::strcmp(info->charset, "utf-8") == 0);
    if (!utf8) {
        delete tagger;
        return nullptr;
    }
    return tagger;
}
}  // namespace

// The dictionary found at configure time, without a user's mecabrc; else the mecabrc's own.
std::unique_ptr<ReadingGuesser> ReadingGuesser::Create() {
    MeCab::Tagger* tagger = OpenTagger("-r /dev/null -d " QUORVEL_MECAB_DICDIR);
    if (!tagger) tagger = OpenTagger("");
    if (!tagger) return nullptr;
    return std::make_unique<MecabGuesser>(tagger);
}

std::string ReadingGuesser::Backend() { return std::string("MeCab ") + MeCab::Model::version(); }
#else
std::unique_ptr<ReadingGuesser> ReadingGuesser::Create() { return nullptr; }
std::string ReadingGuesser::Backend() { return {}; }
#endif
