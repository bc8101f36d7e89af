#include "readings/ReadingGuesser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "text/MapError.h"
#include "text/MapText.h"
#include "readings/PlaceReadings.h"
#include "platform/HostSystem.h"

#ifdef QUORVEL_HAVE_MECAB
#include <mecab.h>
#endif

namespace {
constexpr char32_t kHiraganaToKatakana = 0x60;

// Half-width forms of U+30A1 (ァ) to U+30FA (ヺ), in order. The old and small letters that have
// none take their nearest sound (ヰ ｲ, ヱ ｴ, ヮ ﾜ, ヵ ｶ, ヶ ｹ).
const char* const kHalfWidth[] = {
    "ｧ", "ｱ", "ｨ", "ｲ", "ｩ", "ｳ", "ｪ", "ｴ", "ｫ", "ｵ",                                     // ァ-オ
    "ｶ", "ｶﾞ", "ｷ", "ｷﾞ", "ｸ", "ｸﾞ", "ｹ", "ｹﾞ", "ｺ", "ｺﾞ",                                // カ-ゴ
    "ｻ", "ｻﾞ", "ｼ", "ｼﾞ", "ｽ", "ｽﾞ", "ｾ", "ｾﾞ", "ｿ", "ｿﾞ",                                // サ-ゾ
    "ﾀ", "ﾀﾞ", "ﾁ", "ﾁﾞ", "ｯ", "ﾂ", "ﾂﾞ", "ﾃ", "ﾃﾞ", "ﾄ", "ﾄﾞ",                           // タ-ド
    "ﾅ", "ﾆ", "ﾇ", "ﾈ", "ﾉ",                                                              // ナ-ノ
    "ﾊ", "ﾊﾞ", "ﾊﾟ", "ﾋ", "ﾋﾞ", "ﾋﾟ", "ﾌ", "ﾌﾞ", "ﾌﾟ", "ﾍ", "ﾍﾞ", "ﾍﾟ", "ﾎ", "ﾎﾞ", "ﾎﾟ",  // ハ-ポ
    "ﾏ", "ﾐ", "ﾑ", "ﾒ", "ﾓ",                                                              // マ-モ
    "ｬ", "ﾔ", "ｭ", "ﾕ", "ｮ", "ﾖ",                                                         // ャ-ヨ
    "ﾗ", "ﾘ", "ﾙ", "ﾚ", "ﾛ",                                                              // ラ-ロ
    "ﾜ", "ﾜ", "ｲ", "ｴ", "ｦ", "ﾝ", "ｳﾞ", "ｶ", "ｹ", "ﾜﾞ", "ｲﾞ", "ｴﾞ", "ｦﾞ",                 // ヮ-ヺ
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
// Only the MeCab guesser asks; a build without it has no use for it.
bool IsKatakana(char32_t c) { return (c >= kFirstKatakana && c <= kLastKatakana) || c == 0x30FC; }

// A name of kana, digits, Latin letters and marks alone is read as written: kana as katakana,
// full-width forms in ASCII, a run of blanks as one. Every build reads such names so, with the
// analyser or without it. Empty when the name holds anything else (a kanji).
std::string WrittenReading(std::string_view name) {
    std::string reading;
    bool blank = false;
    std::size_t i = 0;
    while (i < name.size()) {
        char32_t c = NextCodePoint(name, i);
        if (c == 0x20 || c == 0x3000 || c == '\t') {
            blank = !reading.empty();
            continue;
        }
        if (blank) reading += ' ';
        blank = false;
        if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
        if (IsHiragana(c)) c += kHiraganaToKatakana;
        const bool written = (c > 0x20 && c < 0x7F) || IsKatakana(c) || (c >= 0xFF61 && c <= 0xFF9F) || c == 0x30FB ||
                             c == 0x3001 || c == 0x3002 || c == 0x300C || c == 0x300D;
        if (!written) return {};
        AppendUtf8(reading, c);
    }
    return reading;
}

class WrittenGuesser : public ReadingGuesser {
public:
    std::string Guess(const std::string& name) override { return WrittenReading(name); }
};
}  // namespace

std::unique_ptr<ReadingGuesser> ReadingGuesser::Written() { return std::make_unique<WrittenGuesser>(); }

namespace {
// The half-width form of each character U+3000 to U+30FF, of no bytes where it stays: they are
// the only characters changed, and their UTF-8 is E3 80-83 and a continuation byte. Each form is
// kept in 8 bytes, so that it is copied whole, without a call.
class HalfWidthForms {
public:
    struct Form {
        char bytes[8];
        std::size_t size;
    };

    HalfWidthForms() {
        for (char32_t k = 0; k < 0x100; ++k) {
            char32_t c = 0x3000 + k;
            if (IsHiragana(c)) c += kHiraganaToKatakana;
            const char* form = c >= kFirstKatakana && c <= kLastKatakana ? kHalfWidth[c - kFirstKatakana] : HalfWidthSign(c);
            Form& kept = m_forms[k];
            kept = {};
            if (form) {
                kept.size = std::strlen(form);
                std::memcpy(kept.bytes, form, kept.size);
            }
        }
    }
    // The form of the character at text[at] if it has one.
    const Form* Of(const unsigned char* at) const {
        if ((at[1] & 0xFCu) != 0x80 || (at[2] & 0xC0u) != 0x80) return nullptr;
        const Form& form = m_forms[(at[1] & 0x03u) << 6 | (at[2] & 0x3Fu)];
        return form.size == 0 ? nullptr : &form;
    }

private:
    Form m_forms[0x100];
};
}  // namespace

std::string ReadingGuesser::GuessHalfWidth(const std::string& name) { return ToHalfWidthKatakana(Guess(name)); }

std::string ToHalfWidthKatakana(const std::string& text) {
    // Every character changed here (U+3000 to U+30FC) starts with the byte E3: a text without it,
    // as a reading already half-width, stays as it is.
    if (text.find('\xE3') == std::string::npos) return text;
    static const HalfWidthForms forms;
    // Written through a pointer into a buffer on the stack, which goes to out when full (no
    // character writes more than a form's 8 bytes) and at the end.
    std::string out;
    char buffer[256];
    char* to = buffer;
    char* const full = buffer + sizeof buffer - sizeof(HalfWidthForms::Form::bytes);
    const auto* from = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = from + text.size();
    while (from < end) {
        if (to > full) {
            out.append(buffer, static_cast<std::size_t>(to - buffer));
            to = buffer;
        }
        if (*from == 0xE3 && end - from >= 3) {
            if (const HalfWidthForms::Form* form = forms.Of(from)) {
                std::memcpy(to, form->bytes, sizeof form->bytes);
                to += form->size;
                from += 3;
                continue;
            }
        }
        *to++ = static_cast<char>(*from++);
    }
    out.append(buffer, static_cast<std::size_t>(to - buffer));
    return out;
}

#ifdef QUORVEL_HAVE_MECAB
namespace {
// MeCab's functions: linked in, or from the library loaded when a reading is first guessed (or
// --version asks), so that a run that guesses nothing does not pay for loading it.
#define QUORVEL_MECAB_FUNCTIONS(X) X(mecab_new) X(mecab_new2) X(mecab_destroy) X(mecab_dictionary_info) X(mecab_version) X(mecab_lattice_new) X(mecab_lattice_destroy) X(mecab_lattice_set_sentence) X(mecab_parse_lattice) X(mecab_lattice_get_bos_node) X(mecab_lattice_get_begin_nodes)

struct MecabApi {
#define QUORVEL_MECAB_MEMBER(name) decltype(&::name) name = nullptr;
    QUORVEL_MECAB_FUNCTIONS(QUORVEL_MECAB_MEMBER)
#undef QUORVEL_MECAB_MEMBER
};

#ifdef QUORVEL_MECAB_STATIC
// The Windows programs and the page link MeCab in (scripts/mingw-deps.sh, web-deps.sh), as Linux
// builds do where the static library is had.
const MecabApi& Mecab() {
    static const MecabApi api = [] {
        MecabApi linked;
#define QUORVEL_MECAB_LINK(name) linked.name = &::name;
        QUORVEL_MECAB_FUNCTIONS(QUORVEL_MECAB_LINK)
#undef QUORVEL_MECAB_LINK
        return linked;
    }();
    return api;
}
#else
// Throws MapError when the library or one of its functions cannot be had; tried again next time.
const MecabApi& Mecab() {
    static const MecabApi api = [] {
        std::string error;
        void* library = LoadSharedLibrary(QUORVEL_MECAB_LIBRARY, error);
        MecabApi loaded;
#define QUORVEL_MECAB_LOAD(name)                                                                                \
    if (library) loaded.name = reinterpret_cast<decltype(&::name)>(SharedLibrarySymbol(library, #name, error)); \
    if (!loaded.name) throw MapError({MessageId::mecabNotLoaded, error});
        QUORVEL_MECAB_FUNCTIONS(QUORVEL_MECAB_LOAD)
#undef QUORVEL_MECAB_LOAD
        return loaded;
    }();
    return api;
}

#endif

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
        // ヶ and ヵ between the words of a place name are the particle ga (霞ヶ関, つつじヶ丘).
        if (c == 0x30F6 || c == 0x30F5) c = 0x30AC;
        const bool halfWidth = c >= 0xFF66 && c <= 0xFF9F;
        if (!IsKatakana(c) && !halfWidth) return false;
        AppendUtf8(reading, c);
    }
    return !reading.empty();
}

// Digits, Latin letters and marks are read as written, in ASCII: 国道1号 is ｺｸﾄﾞｳ1ｺﾞｳ, and a word
// of letters (ABC, Ｂ級) would otherwise be spelt out or have no reading. Full-width forms
// become ASCII; ・、。「」 stay for ToHalfWidthKatakana.
bool PlainSurface(const char* surface, std::size_t length, std::string& reading) {
    reading.clear();
    const std::string_view text(surface, length);
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = NextCodePoint(text, i);
        if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
        const bool plain = (c > 0x20 && c < 0x7F) || c == 0x30FB || c == 0x3001 || c == 0x3002 || c == 0x300C || c == 0x300D;
        if (!plain) return false;
        AppendUtf8(reading, c);
    }
    return !reading.empty();
}

bool IsKanji(char32_t c) { return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || c == 0x3005; }

// A place name's first word standing alone takes the native reading place names give it: 上, 下,
// 中 kami, shimo, naka (上野毛, 下小田井, 中三田: nine in ten of the SKK place lists); before a kanji,
// 小 ko, 大 oo, 高 taka (小鳩台, 大鳩台, 高鳩台), where the analyser reads ue, shita, chuu, shou, dai,
// kou. Before katakana they stay (小アジア).
const char* PlacePrefix(std::string_view word, std::string_view next) {
    if (word == "上") return "カミ";
    if (word == "下") return "シモ";
    if (word == "中") return "ナカ";
    std::size_t at = 0;
    if (next.empty() || !IsKanji(NextCodePoint(next, at))) return nullptr;
    if (word == "小") return "コ";
    if (word == "大") return "オオ";
    if (word == "高") return "タカ";
    return nullptr;
}


// A ケ between a word and a kanji is the particle ga of place names written large (さくらケ丘):
// given to the analyser as が, it ends the word before it as the particle does. ヶ is left to the
// dictionary, which knows most names holding it (保土ヶ谷); one it does not is read ga below.
std::string WithParticleGa(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    std::size_t i = 0;
    char32_t before = 0;
    while (i < name.size()) {
        const std::size_t start = i;
        const char32_t c = NextCodePoint(name, i);
        std::size_t next = i;
        const char32_t after = i < name.size() ? NextCodePoint(name, next) : 0;
        const bool ga = c == 0x30B1 && before && !IsKatakana(before) && IsKanji(after);
        if (ga)
            out += "が";
        else
            out.append(name, start, i - start);
        before = c;
    }
    return out;
}

// A town's 町 after its name is chou two times in three in the SKK list of places, where the
// analyser reads machi; in a station's name (町 駅) machi is the more common, and its reading stays.
bool BeforeStation(const mecab_node_t* node) {
    return node->next && std::string_view(node->next->surface, node->next->length) == "駅";
}

// The last word of a name (before 駅, if it ends so).
bool LastWord(const mecab_node_t* node) {
    const mecab_node_t* next = node->next;
    if (next && BeforeStation(node)) next = next->next;
    return !next || next->stat == MECAB_EOS_NODE;
}

// Whether the word before node ends in a kanji: a suffix after katakana keeps its Sino-Japanese
// reading (グアム島 tou, シナイ山 san).
bool AfterKanji(const mecab_node_t* node) {
    const mecab_node_t* before = node->prev;
    if (!before || before->stat == MECAB_BOS_NODE) return false;
    const std::string_view word(before->surface, before->length);
    char32_t last = 0;
    for (std::size_t i = 0; i < word.size();) last = NextCodePoint(word, i);
    return IsKanji(last);
}

// A name's last word standing alone that the analyser reads as a word of its own, where place
// names read it as a suffix: 通 doori (eight in ten of the SKK lists' names ending so), 前 mae (nine
// in ten), 口 guchi (three in four), 橋 read kyou bashi (two in three of 橋 are bashi). After a
// kanji word, the native readings of places: 寺 ji for tera (国分寺), 田 da for ta (吉田), 島 shima
// for tou, 原 hara for gen.
const char* PlaceSuffix(const mecab_node_t* node) {
    const std::string_view word(node->surface, node->length);
    if (word == "通") return "ドオリ";
    if (word == "前") return "マエ";
    if (word == "口") return "グチ";
    // A city's 市 is shi, never ichi joined into the word before it (阿賀野市).
    if (word == "市") return "シ";
    if (word == "橋" && std::strstr(node->feature, ",キョウ,")) return "バシ";
    if (!AfterKanji(node)) return nullptr;
    const struct {
        const char* word;
        const char* analysers;  // the reading field as the dictionary gives it
        const char* place;
    } kanjiSuffixes[] = {
        {"寺", ",テラ,", "ジ"},
        {"田", ",タ,", "ダ"},
        {"島", ",トウ,", "シマ"},
        {"原", ",ゲン,", "ハラ"},
    };
    for (const auto& suffix : kanjiSuffixes)
        if (word == suffix.word && std::strstr(node->feature, suffix.analysers)) return suffix.place;
    return nullptr;
}

// Digits, Latin letters and ASCII marks are read as written; the place names' readings would
// spell them out (国道1号), so a name holding one is left to the analyser.
bool HoldsPlainText(std::string_view name) {
    for (std::size_t i = 0; i < name.size();) {
        const char32_t c = NextCodePoint(name, i);
        if ((c > 0x20 && c < 0x7F) || (c >= 0xFF01 && c <= 0xFF5E)) return true;
    }
    return false;
}

std::u32string CodePoints(std::string_view text) {
    std::u32string points;
    for (std::size_t i = 0; i < text.size();) points += NextCodePoint(text, i);
    return points;
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
    return text;
}

std::size_t Characters(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); NextCodePoint(text, i)) ++count;
    return count;
}

// The bytes before a name's closing 市 when it has some (阿賀野市: 阿賀野); 0 otherwise.
std::size_t CityStem(std::string_view name) {
    const std::string_view city = "市";
    return name.size() > city.size() && name.compare(name.size() - city.size(), city.size(), city) == 0 ? name.size() - city.size() : 0;
}

// A town, village, ward, district or city (羽黒町, 大潟区): what an address names first, the rest
// being a part of it (羽黒町 松ケ岡).
bool IsMunicipality(std::string_view name) {
    for (const std::string_view unit : {"町", "村", "区", "郡", "市"})
        if (name.size() >= unit.size() && name.compare(name.size() - unit.size(), unit.size(), unit) == 0) return true;
    return false;
}

// Of a name's readings, the analyser's when it is one of them (it knows which of 東京's readings
// is today's); else the one sharing the most of its start and end with the analyser's, which reads
// most of a name right when not all of it (the first of those alike).
const std::string& Closest(const std::vector<std::string>& readings, const std::string& analysed) {
    const std::u32string theirs = CodePoints(analysed);
    const std::string* closest = &readings.front();
    std::size_t most = 0;
    for (const std::string& reading : readings) {
        if (reading == analysed) return reading;
        const std::u32string ours = CodePoints(reading);
        const std::size_t shorter = std::min(ours.size(), theirs.size());
        std::size_t start = 0, end = 0;
        while (start < shorter && ours[start] == theirs[start]) ++start;
        while (end < shorter && ours[ours.size() - 1 - end] == theirs[theirs.size() - 1 - end]) ++end;
        const std::size_t shared = std::min(start + end, shorter);
        if (shared > most) {
            most = shared;
            closest = &reading;
        }
    }
    return *closest;
}

// The analyser's reading of a name, had when first asked.
using Analysis = std::function<const std::string&()>;

bool HasPartOfSpeech(const mecab_node_t* node, std::string_view pos) { return std::strncmp(node->feature, pos.data(), pos.size()) == 0; }
// ipadic's entries for places (名詞,固有名詞,地域: 地名 and countries).
bool IsPlaceEntry(const mecab_node_t* node) { return HasPartOfSpeech(node, "名詞,固有名詞,地域,"); }
// A given name reads a place's kanji as few place names do (紀 osamu); a family name often as a
// place (most are places' names), and a numeral as an address does (三丁目).
bool IsGivenName(const mecab_node_t* node) { return HasPartOfSpeech(node, "名詞,固有名詞,人名,名,"); }
bool IsPerson(const mecab_node_t* node) { return HasPartOfSpeech(node, "名詞,固有名詞,人名,"); }

// The shape of a Sino-Japanese reading: one mora, or two whose second is i, u, n, ki, ku, chi,
// tsu or the geminate (a small ャ, ュ, ョ belongs to its mora). Native readings are longer or end
// otherwise (kita, mori, minami).
bool SinoShaped(std::string_view reading) {
    std::u32string morae;
    for (std::size_t i = 0; i < reading.size();) {
        const char32_t c = NextCodePoint(reading, i);
        if (c == U'ャ' || c == U'ュ' || c == U'ョ') {
            if (morae.empty()) return false;
            continue;
        }
        morae += c;
    }
    if (morae.size() == 1) return true;
    return morae.size() == 2 && std::u32string_view(U"イウンキクチツッ").find(morae[1]) != std::u32string_view::npos;
}

// The four directions, which a name of two kanji reads as its other kanji: 周南 shuunan beside
// 南口 minamiguchi.
bool IsDirection(std::string_view kanji) { return kanji == "東" || kanji == "西" || kanji == "南" || kanji == "北"; }

class MecabGuesser : public ReadingGuesser {
public:
    MecabGuesser(const MecabApi& api, mecab_t* tagger, std::shared_ptr<const PlaceReadings> places)
        : m_api(api), m_tagger(tagger), m_lattice(api.mecab_lattice_new()), m_single(api.mecab_lattice_new()), m_places(std::move(places)) {}
    ~MecabGuesser() override {
        m_api.mecab_lattice_destroy(m_single);
        m_api.mecab_lattice_destroy(m_lattice);
        m_api.mecab_destroy(m_tagger);
    }
    MecabGuesser(const MecabGuesser&) = delete;
    MecabGuesser& operator=(const MecabGuesser&) = delete;

    std::string Guess(const std::string& name) override { return Joined(name, false); }
    std::string GuessHalfWidth(const std::string& name) override { return Joined(name, true); }

private:
    // A word's reading, and the same half-width (each character is made so on its own, so the
    // words' forms joined are the whole reading's).
    struct Known {
        std::string full, half;
    };

    // Each word of a name (blanks part them: 首里城 2, 羽田空港 第1ターミナル) on its own, a blank
    // between; a partial reading would be taken for the whole one, so a word without one gives none.
    std::string Joined(const std::string& name, bool halfWidth) {
        std::string reading = WrittenReading(name);
        if (!reading.empty() || m_places->Empty()) {
            if (reading.empty()) reading = Analysed(name);
            return halfWidth ? ToHalfWidthKatakana(reading) : reading;
        }
        // Parted byte by byte: no byte of a blank's is a continuation byte, so each found is one
        // that decoding the name would give.
        const auto blankAt = [&name](std::size_t at) -> std::size_t {
            if (name[at] == ' ' || name[at] == '\t') return 1;
            // U+3000; name[size] is the string's terminating zero
            return name[at] == '\xE3' && name[at + 1] == '\x80' && at + 2 < name.size() && name[at + 2] == '\x80' ? 3 : 0;
        };
        reading.reserve(2 * name.size());
        std::size_t at = 0;
        while (at < name.size()) {
            if (const std::size_t blank = blankAt(at)) {
                at += blank;
                continue;
            }
            std::size_t end = at + 1;
            while (end < name.size() && !blankAt(end)) ++end;
            if (!reading.empty()) reading += ' ';
            // A word read as written (a number, a chain's Latin name) costs less to read again
            // than to remember: only the others are looked up and kept.
            const std::string_view piece = std::string_view(name).substr(at, end - at);
            if (const std::string written = WrittenReading(piece); !written.empty()) {
                reading += halfWidth ? ToHalfWidthKatakana(written) : written;
            } else {
                const Known& word = Word(std::string(piece));
                if (word.full.empty()) return {};
                reading += halfWidth ? word.half : word.full;
            }
            at = end;
        }
        return reading;
    }

    // A word's reading, guessed once: a driver's places repeat their words (a chain's name, 駅,
    // 駐車場), and each guess costs an analysis and a dozen searches of the place names. Bounded,
    // so that a file of many names does not keep them all.
    const Known& Word(const std::string& word) {
        const auto known = m_words.find(word);
        if (known != m_words.end()) return known->second;
        std::string reading = GuessWord(word);
        Known guessed{reading, ToHalfWidthKatakana(reading)};
        if (m_words.size() >= kRememberedWords) {
            m_last = std::move(guessed);
            return m_last;
        }
        return m_words.emplace(word, std::move(guessed)).first->second;
    }

    // A name the place names hold, whole or as a run of names, takes their reading; the
    // analyser's where it is one of them (it knows which of 東京's readings is today's).
    std::string GuessWord(const std::string& name) const {
        std::string reading = WrittenReading(name);
        if (!reading.empty()) return reading;
        // Analysed only when its reading is wanted: a name the place names read one way alone
        // takes that reading whatever the analyser's, and the analysis costs more than the search.
        std::optional<std::string> analysedOnce;
        const Analysis analysed = [&]() -> const std::string& {
            if (!analysedOnce) analysedOnce = Analysed(name);
            return *analysedOnce;
        };
        if (m_places->Empty() || HoldsPlainText(name) || Characters(name) < 2) return analysed();
        std::vector<std::string> known = m_places->Find(name);
        // A city's 市 is read on its own, never joined into the word before it (阿賀野市 is not
        // 阿賀 野市 ノイチ). Before 駅 it is as often a market's ichi (三日市駅), and left so.
        if (known.empty() && CityStem(name) > 0) {
            const std::string stem = GuessWord(name.substr(0, CityStem(name)));
            if (!stem.empty()) return stem + "シ";
        }
        const std::string_view station = "駅";
        if (known.empty() && name.size() > station.size() && name.compare(name.size() - station.size(), station.size(), station) == 0) {
            known = m_places->Find(std::string_view(name).substr(0, name.size() - station.size()));
            for (std::string& each : known) each += "エキ";
        }
        // ケ and ヶ are one in place names (霞ケ関, 霞ヶ関): a name not found so is looked up as the other.
        if (known.empty() && name.find("ケ") != std::string::npos) known = m_places->Find(Replaced(name, "ケ", "ヶ"));
        if (known.empty() && name.find("ヶ") != std::string::npos) known = m_places->Find(Replaced(name, "ヶ", "ケ"));
        if (known.size() == 1) return known.front();
        if (!known.empty()) return Closest(known, analysed());
        return Compound(name, analysed);
    }

    // A name read as a run of place names, each the longest the file holds (two characters at
    // least), from its start: 高来町 黒新田. What is left after the last is the analyser's, only
    // after a municipality (羽黒町 ...), where the rest is a part of it; otherwise the analyser
    // reads the whole, as it does a name none of whose starts is known.
    std::string Compound(const std::string& name, const Analysis& analysed) const {
        std::vector<std::size_t> starts;  // where each character starts, and the end
        for (std::size_t i = 0; i < name.size(); NextCodePoint(name, i)) starts.push_back(i);
        starts.push_back(name.size());
        const std::size_t characters = starts.size() - 1;
        std::string reading;
        std::size_t at = 0;
        bool municipality = false;
        while (at + 2 <= characters) {
            // Only the names starting with the next two characters can be a start of the rest.
            const PlaceReadings::Span span = m_places->Starting(std::string_view(name).substr(starts[at], starts[at + 2] - starts[at]));
            if (span.Empty()) break;
            std::size_t end = characters;
            std::vector<std::string> known;
            for (; end >= at + 2 && known.empty(); --end) {
                if (at == 0 && end == characters) continue;  // the whole name was looked up
                known = m_places->Find(std::string_view(name).substr(starts[at], starts[end] - starts[at]), span);
                if (!known.empty()) break;
            }
            if (known.empty()) break;
            if (at == 0) municipality = IsMunicipality(std::string_view(name).substr(0, starts[end]));
            // Of a part's readings, the one the analyser's reading of the whole holds.
            const auto held = known.size() == 1 ? known.begin() : std::find_if(known.begin(), known.end(), [&](const std::string& each) {
                return analysed().find(each) != std::string::npos;
            });
            reading += held != known.end() ? *held : known.front();
            at = end;
        }
        if (at == 0) return analysed();
        if (at < characters) {
            if (!municipality) return analysed();
            const std::string rest = name.substr(starts[at]);
            std::string restReading = WrittenReading(rest);
            if (restReading.empty()) restReading = Analysed(rest);
            if (restReading.empty()) return analysed();
            reading += restReading;
        }
        return reading;
    }

    // The analyser's reading. A partial reading would be taken for the whole one: any word
    // without one gives none.
    std::string Analysed(const std::string& name) const {
        std::string reading, word;
        const std::string text = WithParticleGa(name);
        m_api.mecab_lattice_set_sentence(m_lattice, text.c_str());
        if (!m_api.mecab_parse_lattice(m_tagger, m_lattice)) return {};
        // A place's entry for the whole name comes before words the name is parted into (十八女
        // sakari, not juu hachi jo).
        const mecab_node_t* words = m_api.mecab_lattice_get_bos_node(m_lattice)->next;
        bool place = false;
        if (words && words->stat != MECAB_EOS_NODE && words->length < text.size() && FitReading(BeginNodes(text, words), text.size(), word, IsPerson, &place) && place) return word;
        for (const mecab_node_t* node = m_api.mecab_lattice_get_bos_node(m_lattice); node; node = node->next) {
            if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
            // A blank between words (MeCab skips it) stays one: 羽田空港 第1ターミナル.
            if (node->rlength > node->length && !reading.empty()) reading += ' ';
            const char* prefix = reading.empty() && node->next && node->next->stat != MECAB_EOS_NODE
                                     ? PlacePrefix(std::string_view(node->surface, node->length),
                                                   std::string_view(node->next->surface, node->next->length))
                                     : nullptr;
            if (SinoPair(text, node, word)) {
                if (node->length == 3) node = node->next;  // the pair's second kanji, read with the first
            } else if (prefix) {
                word = prefix;
            } else if (std::string_view(node->surface, node->length) == "町" && !reading.empty() && !BeforeStation(node)) {
                word = "チョウ";
            } else if (const char* suffix = reading.empty() || !LastWord(node) ? nullptr : PlaceSuffix(node)) {
                word = suffix;
            } else if (!PlainSurface(node->surface, node->length, word)) {
                const bool known = node->stat != MECAB_UNK_NODE && ReadingOf(node->feature, word);
                // A given name gives way to a place's reading of the same word, else to an
                // ordinary word's.
                if (known && IsGivenName(node)) FitReading(BeginNodes(text, node), node->length, word, IsGivenName);
                if (!known && !KanaSurface(node->surface, node->length, word)) {
                    // A word the dictionary lacks (筑西) is read a character at a time, rather
                    // than the name left without a reading; a character it cannot read gives none.
                    word = CharacterWise(std::string_view(node->surface, node->length));
                    if (word.empty()) return {};
                }
            }
            reading += word;
        }
        return reading;
    }

    // The lattice's words starting where node does, chained by bnext.
    const mecab_node_t* BeginNodes(const std::string& text, const mecab_node_t* node) const {
        const std::size_t at = static_cast<std::size_t>(node->surface - text.c_str()) - (node->rlength - node->length);
        return m_api.mecab_lattice_get_begin_nodes(m_lattice, at);
    }

    // Of the dictionary's words of a span (the words from first on as long as it), the reading
    // fit for a place: a place's, else any word's but those unfit; false when none. place, when
    // given, says whether a place's was found.
    static bool FitReading(const mecab_node_t* first, std::size_t length, std::string& reading, bool (*unfit)(const mecab_node_t*), bool* place = nullptr) {
        bool found = false;
        std::string each;
        for (const mecab_node_t* node = first; node; node = node->bnext) {
            if (node->length != length || node->stat == MECAB_UNK_NODE || unfit(node) || !ReadingOf(node->feature, each)) continue;
            if (IsPlaceEntry(node)) {
                reading = each;
                if (place) *place = true;
                return true;
            }
            if (!found) reading = each;
            found = true;
        }
        return found;
    }

    // A name's two kanji the dictionary does not know as one word (two words of a kanji, or one it
    // does not know), read Sino-Japanese both when one of them is: when one has no reading but a
    // person's (紀), or a direction follows a Sino-Japanese reading (周南) or comes
    // before a kanji that is no place of its own (北杜). Each kanji takes the first Sino-Japanese
    // reading the place names' file gives it within names (else the dictionary's). False, the
    // words left as they are, when the name is not so or a kanji has no such reading.
    bool SinoPair(const std::string& text, const mecab_node_t* node, std::string& reading) const {
        const auto singleKanji = [](const mecab_node_t* each) {
            std::size_t i = 0;
            return each && each->stat != MECAB_BOS_NODE && each->stat != MECAB_EOS_NODE && each->length == 3 &&
                   IsKanji(NextCodePoint(std::string_view(each->surface, each->length), i));
        };
        const std::string_view surface(node->surface, node->length);
        // Alone, or before a suffix (大紀町); no blank between them.
        const bool twoWords = singleKanji(node) && singleKanji(node->next) && node->next->rlength == node->next->length && !singleKanji(node->prev) &&
                              (!singleKanji(node->next->next) || HasPartOfSpeech(node->next->next, "名詞,接尾,"));
        const bool unknownPair = node->stat == MECAB_UNK_NODE && node->length == 6 && IsKanji(CodePoints(surface)[0]) && IsKanji(CodePoints(surface)[1]);
        if (!twoWords && !unknownPair) return false;
        const std::string first(node->surface, 3), second(node->surface + 3, 3);
        const mecab_node_t* firstWords = BeginNodes(text, node);
        const mecab_node_t* secondWords = m_api.mecab_lattice_get_begin_nodes(m_lattice, static_cast<std::size_t>(node->surface + 3 - text.c_str()));
        std::string firstFit, secondFit;
        bool secondPlace = false;
        const bool firstFits = FitReading(firstWords, 3, firstFit, IsPerson), secondFits = FitReading(secondWords, 3, secondFit, IsPerson, &secondPlace);
        if (!secondPlace) secondPlace = !m_places->Find(second).empty();
        const bool sino = !firstFits || !secondFits || (IsDirection(second) && SinoShaped(firstFit)) || (IsDirection(first) && !secondPlace);
        if (!sino) return false;
        const std::string firstSino = SinoReading(first, firstWords), secondSino = SinoReading(second, secondWords);
        if (firstSino.empty() || secondSino.empty()) return false;
        reading = firstSino + secondSino;
        return true;
    }

    // A kanji's first Sino-Japanese reading: of the place names' file's within names, else of
    // the dictionary's words of it alone (from first on); empty when none.
    std::string SinoReading(const std::string& kanji, const mecab_node_t* first) const {
        for (const std::string& each : m_places->Find("#" + kanji))
            if (SinoShaped(each)) return each;
        std::string each;
        for (const mecab_node_t* node = first; node; node = node->bnext)
            if (node->length == kanji.size() && node->stat != MECAB_UNK_NODE && ReadingOf(node->feature, each) && SinoShaped(each)) return each;
        return {};
    }

    // Each character's reading: the dictionary's for the character alone fit for a place, else
    // the place names' file's for it as a name of its own, else its most common within names,
    // else a person's name's; empty when it has none.
    std::string CharacterWise(std::string_view text) const {
        std::string reading, word;
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t start = i;
            NextCodePoint(text, i);
            const std::string character(text.substr(start, i - start));
            m_api.mecab_lattice_set_sentence(m_single, character.c_str());
            const mecab_node_t* words = m_api.mecab_parse_lattice(m_tagger, m_single) ? m_api.mecab_lattice_get_begin_nodes(m_single, 0) : nullptr;
            if (!FitReading(words, character.size(), word, IsGivenName)) {
                std::vector<std::string> known = m_places->Find(character);
                if (known.empty()) known = m_places->Find("#" + character);
                if (!known.empty()) {
                    word = known.front();
                } else {
                    const mecab_node_t* node = words;
                    while (node && (node->length != character.size() || node->stat == MECAB_UNK_NODE || !ReadingOf(node->feature, word))) node = node->bnext;
                    if (!node) return {};
                }
            }
            reading += word;
        }
        return reading;
    }

    static constexpr std::size_t kRememberedWords = 4096;
    const MecabApi& m_api;
    mecab_t* m_tagger;
    // A name's analysis, and a character's alone (read while the name's words are gone through).
    mecab_lattice_t* m_lattice;
    mecab_lattice_t* m_single;
    std::shared_ptr<const PlaceReadings> m_places;
    std::unordered_map<std::string, Known> m_words;
    Known m_last;  // a word's reading when no more are remembered
};

// Only a UTF-8 dictionary gives readings this program can use. With a folder, its own dicrc is
// the only settings file read (no user's mecabrc); an argument vector, as the folder may have blanks.
mecab_t* OpenTagger(const MecabApi& api, const std::string& folder) {
    std::string rc = folder + "/dicrc";
    std::string dictionary = folder;
    char program[] = "mecab", r[] = "-r", d[] = "-d";
    char* arguments[] = {program, r, &rc[0], d, &dictionary[0], nullptr};
    mecab_t* tagger = folder.empty() ? api.mecab_new2("") : api.mecab_new(5, arguments);
    if (!tagger) return nullptr;
    const mecab_dictionary_info_t* info = api.mecab_dictionary_info(tagger);
    const bool utf8 = info && info->charset && (std::strcmp(info->charset, "utf8") == 0 || std::strcmp(info->charset, "UTF-8") == 0 || std::strcmp(info->charset, "utf-8") == 0);
    if (!utf8) {
        api.mecab_destroy(tagger);
        return nullptr;
    }
    return tagger;
}
}  // namespace

namespace {
constexpr const char* kPlaceReadings = "place-readings.txt";

// The place names' readings beside the analyser's dictionary (the Windows programs' data\ipadic,
// the page's /ipadic); else, as the datum grid, in the data folder of the program or the build.
std::string PlaceReadingsPath(const std::string& folder, const DataFolder& data) {
#ifdef _WIN32
    (void)data;
    return folder + "\\" + kPlaceReadings;
#else
    const std::string beside = folder + "/" + kPlaceReadings;
    return IsRegularFile(CString(beside)) ? beside : data.PathOf(kPlaceReadings);
#endif
}
}  // namespace

// The dictionary found at configure time (the Windows programs': data\ipadic beside them); else
// the mecabrc's own.
std::unique_ptr<ReadingGuesser> ReadingGuesser::Create(Message* whyNot, const DataFolder& data) {
    return Open(nullptr, whyNot, data);
}

std::unique_ptr<ReadingGuesser> ReadingGuesser::Create(std::shared_ptr<const PlaceReadings> places) {
    return Open(places ? std::move(places) : std::make_shared<const PlaceReadings>(), nullptr, DataFolder());
}

std::unique_ptr<ReadingGuesser> ReadingGuesser::Open(std::shared_ptr<const PlaceReadings> places, Message* whyNot,
                                                     const DataFolder& data) {
    try {
        const MecabApi& api = Mecab();
#if defined(QUORVEL_MECAB_STATIC) && defined(_WIN32)
        const std::string folder = ProgramFolder().Str() + "\\data\\ipadic";
#else
        const std::string folder = QUORVEL_MECAB_DICDIR;
#endif
        mecab_t* tagger = OpenTagger(api, folder);
        if (!tagger) tagger = OpenTagger(api, "");
        if (tagger) {
            if (!places) {
                // Read once a process for each file, when a reading is first guessed.
                static std::mutex lock;
                static std::map<std::string, std::shared_ptr<const PlaceReadings>> read;
                const std::string path = PlaceReadingsPath(folder, data);
                const std::lock_guard<std::mutex> hold(lock);
                std::shared_ptr<const PlaceReadings>& shipped = read[path];
                if (!shipped) shipped = std::make_shared<const PlaceReadings>(PlaceReadings::Load(path));
                places = shipped;
            }
            return std::make_unique<MecabGuesser>(api, tagger, std::move(places));
        }
        if (whyNot) *whyNot = Message(MessageId::mecabDictionaryNotLoaded, folder);
    } catch (const MapError& error) {
        if (whyNot) *whyNot = error.Said();
    } catch (const std::runtime_error& error) {
        if (whyNot) *whyNot = error.what();
    }
    return nullptr;
}

// The dictionary is opened to tell whether guessing works; once it has been, that is known.
std::string ReadingGuesser::Backend() {
    static std::string working;
    if (!working.empty()) return working;
    Message whyNot;
    if (!Create(&whyNot)) return "なし: " + Words(whyNot);
    working = std::string("MeCab ") + Mecab().mecab_version();
    return working;
}
#else
std::unique_ptr<ReadingGuesser> ReadingGuesser::Create(Message* whyNot, const DataFolder& data) {
    return Open(nullptr, whyNot, data);
}
std::unique_ptr<ReadingGuesser> ReadingGuesser::Create(std::shared_ptr<const PlaceReadings> places) {
    return Open(std::move(places), nullptr, DataFolder());
}
std::unique_ptr<ReadingGuesser> ReadingGuesser::Open(std::shared_ptr<const PlaceReadings>, Message* whyNot, const DataFolder&) {
    if (whyNot) *whyNot = MessageId::builtWithoutMecab;
    return nullptr;
}
std::string ReadingGuesser::Backend() { return {}; }
#endif
