#pragma once
// One place on its way between the navigation unit's files and today's map formats.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/Message.h"

// The bytes a memory-point record held, kept so that they reach the unit's formats untouched
// (CP932 has characters with two codes).
struct RecordText {
    std::string name;
    std::string reading;
};

// How a place's coordinates were brought into the datum they are in now.
enum class DatumMethod : std::uint8_t {
    none,
    grid,
    helmert
};

// Which positions today's maps get: where the ground is today (JGD2000 moved by the national
// corrections for the earthquakes since, datum/GroundCorrections.h), or JGD2000 as surveyed.
enum class DatumEpoch : std::uint8_t {
    today,
    jgd2000
};

// The word the outputs and the listing use for it.
inline const char* DatumMethodName(DatumMethod method) {
    switch (method) {
    case DatumMethod::grid:
        return "grid";
    case DatumMethod::helmert:
        return "helmert";
    case DatumMethod::none:
        break;
    }
    return "none";
}

// Where a place came from, for messages: a kind and a number in four bytes, made text only when
// a message names it (a million places of a large table would hold a million strings).
class PlaceOrigin {
public:
    PlaceOrigin() = default;                                                   // none: a place the program made itself
    static PlaceOrigin Point(int number) { return {kPoint, number}; }          // "地点 4": a memory point
    static PlaceOrigin Line(int line) { return {kLine, line}; }                // "12 行目": a table's record, an element
    static PlaceOrigin PointOnLine(int line) { return {kPointOnLine, line}; }  // "12 行目の地点": a glorie point
    static PlaceOrigin Feature(int number) { return {kFeature, number}; }      // "地物 2": a GeoJSON feature
    static PlaceOrigin Entry(int number) { return {kEntry, number}; }          // "2 件目": the same, for the dialogs

    std::string Text() const;                 // empty for none
    Message Said() const;                     // Text() as a message, for the fronts' own words
    void AppendText(std::string& out) const;  // Text() appended to out

private:
    friend class Place;
    enum Kind : std::uint32_t {
        kNone,
        kPoint,
        kLine,
        kPointOnLine,
        kFeature,
        kEntry
    };
    // A 32 MB input has fewer lines; the two bits left over hold a place's datum method.
    static constexpr int kNumberBits = 27;
    static constexpr std::uint32_t kNumberMask = (1u << kNumberBits) - 1;
    PlaceOrigin(Kind kind, int number) : m_value(kind << kNumberBits | (static_cast<std::uint32_t>(number) & kNumberMask)) {}

    std::uint32_t m_value = 0;  // the kind in bits 27 to 29, the number below
};

inline void PlaceOrigin::AppendText(std::string& out) const {
    char digits[10];
    char* const end = digits + sizeof digits;
    char* first = end;
    for (std::uint32_t number = m_value & kNumberMask; first == end || number > 0; number /= 10) *--first = static_cast<char>('0' + number % 10);
    const std::string_view number(first, static_cast<std::size_t>(end - first));
    switch (static_cast<Kind>(m_value >> kNumberBits)) {
    case kPoint: out.append("地点 ").append(number); break;
    case kLine: out.append(number).append(" 行目"); break;
    case kPointOnLine: out.append(number).append(" 行目の地点"); break;
    case kFeature: out.append("地物 ").append(number); break;
    case kEntry: out.append(number).append(" 件目"); break;
    case kNone: break;
    }
}

inline Message PlaceOrigin::Said() const {
    const std::uint32_t number = m_value & kNumberMask;
    switch (static_cast<Kind>(m_value >> kNumberBits)) {
    case kPoint: return {MessageId::originPoint, number};
    case kLine: return {MessageId::originLine, number};
    case kPointOnLine: return {MessageId::originPointOnLine, number};
    case kFeature: return {MessageId::originFeature, number};
    case kEntry: return {MessageId::originEntry, number};
    case kNone: break;
    }
    return {};
}

inline std::string PlaceOrigin::Text() const {
    std::string text;
    AppendText(text);
    return text;
}

// 24 bytes: the coordinates, and one word that is either a pointer to one block holding the
// name, the reading, the digits, where the place came from and its datum method, or, for a place
// without those texts (a table's bare points, named "地点 N"), where it came from, its method and
// N inline: three million points of a 27 MB table are 71 MB.
class Place {
public:
    double latitude = 0;   // degrees, north positive
    double longitude = 0;  // degrees, east positive

    Place() = default;
    Place(const Place& other);
    Place(Place&& other) noexcept : latitude(other.latitude), longitude(other.longitude), m_word(other.m_word) {
        other.m_word = kInline;
    }
    Place& operator=(const Place& other) {
        if (this != &other) *this = Place(other);
        return *this;
    }
    Place& operator=(Place&& other) noexcept {
        if (this != &other) {
            Free();
            latitude = other.latitude;
            longitude = other.longitude;
            m_word = other.m_word;
            other.m_word = kInline;
        }
        return *this;
    }
    ~Place() { Free(); }

    // UTF-8, as the user should see it (never cut).
    std::string Name() const;
    // Its first bytes at most, and whether it is text: without a copy of a name of megabytes.
    std::string NamePrefix(std::size_t bytes) const;
    bool HasName() const { return IsInline() ? Numbered() != 0 : !View(kName).empty(); }
    void SetName(std::string name) { Set(kName, std::move(name)); }
    // The name "地点 number", made text only when asked for.
    void SetNumberedName(std::uint32_t number);
    // Where it came from, for messages.
    PlaceOrigin Origin() const {
        PlaceOrigin origin;
        origin.m_value = Bits() & kOriginMask;
        return origin;
    }
    void SetOrigin(PlaceOrigin origin) { SetBits((Bits() & ~kOriginMask) | origin.m_value); }
    DatumMethod Method() const { return static_cast<DatumMethod>(Bits() >> kMethodShift); }
    void SetMethod(DatumMethod method) {
        SetBits((Bits() & kOriginMask) | static_cast<std::uint32_t>(method) << kMethodShift);
    }

    // The name where it lies, without a copy; scratch holds a numbered name made text. Valid until
    // the place or scratch changes.
    std::string_view NameView(std::string& scratch) const;
    // UTF-8; empty when there is none.
    std::string Reading() const { return IsInline() ? std::string() : std::string(View(kReading)); }
    std::string_view ReadingView() const { return IsInline() ? std::string_view() : View(kReading); }
    void SetReading(std::string reading) { Set(kReading, std::move(reading)); }
    // The reading is the guesser's (a table marks it 推測): set after the reading; any change of
    // the place's texts clears it.
    bool ReadingGuessed() const { return !IsInline() && Block()->guessed != 0; }
    void SetReadingGuessed(bool guessed) {
        if (!IsInline()) Block()->guessed = guessed;
    }
    // The memory point's digit string (a phone number); ASCII.
    std::string Digits() const { return IsInline() ? std::string() : std::string(View(kDigits)); }
    void SetDigits(std::string digits) { Set(kDigits, std::move(digits)); }
    // The texts moved out, the place left without them.
    std::string TakeName() { return Take(kName); }
    // The unit's texts of a memory point with a name or a reading; null for others.
    const RecordText* Record() const { return IsInline() ? nullptr : RecordOf(Block()); }
    void SetRecord(RecordText record);
    void ClearRecord();
    // The three texts at once, or the name and the reading edited in place by edit(name, reading):
    // the block is made once, where setting each text would make it once a text.
    void SetTexts(std::string name, std::string reading, std::string digits);
    // Whether test holds for the name and for the reading, each looked at where it lies.
    template <typename Test>
    bool NameAndReadingAre(Test&& test) const {
        if (IsInline()) return test(std::string_view(Name())) && test(std::string_view());
        return test(View(kName)) && test(View(kReading));
    }
    template <typename Edit>
    void EditNameAndReading(Edit&& edit) {
        std::string texts[kFields];
        RecordText* record = IsInline() ? nullptr : RecordOf(Block());
        Extract(texts);
        edit(texts[kName], texts[kReading]);
        Build(texts, record);
    }

private:
    enum Field {
        kName,
        kReading,
        kDigits,
        kFields
    };
    // 12 bytes; the record's pointer follows it when there is one, then the texts, each its bytes
    // or, when long, a pointer to a string of its own, moved in and out rather than copied (a name
    // of 30 MB). Pointers there are not aligned: copied in and out.
    struct Header {
        std::uint32_t bits;           // origin and method
        std::uint16_t size[kFields];  // kLong: a pointer
        std::uint8_t hasRecord;
        std::uint8_t guessed;  // ReadingGuessed
    };
    static constexpr std::uint16_t kLong = 0xFFFF;
    static constexpr std::size_t kLongFrom = 4096;

    // Inline: bit 0 set (a block's address is even), the origin and method in bits 1 to 32, the
    // number of a numbered name above.
    static constexpr std::uint64_t kInline = 1;
    static constexpr int kMethodShift = 30;
    static constexpr std::uint32_t kOriginMask = (1u << kMethodShift) - 1;

    bool IsInline() const { return (m_word & kInline) != 0; }
    Header* Block() const { return reinterpret_cast<Header*>(static_cast<std::uintptr_t>(m_word)); }
    std::uint32_t Numbered() const { return static_cast<std::uint32_t>(m_word >> 33); }
    std::uint32_t Bits() const { return IsInline() ? static_cast<std::uint32_t>(m_word >> 1) : Block()->bits; }
    void SetBits(std::uint32_t bits) {
        if (IsInline())
            m_word = (m_word & ~(std::uint64_t{0xFFFFFFFF} << 1)) | std::uint64_t{bits} << 1;
        else
            Block()->bits = bits;
    }
    // A block's text; where a long one's pointer is.
    std::string_view View(Field field) const;
    static char* At(Header* block, Field field);
    static std::string* LongText(const Header* block, Field field);
    static RecordText* RecordOf(const Header* block);

    void Set(Field field, std::string text);
    // Set for a block without long texts; false where it is not one.
    bool SetShort(Field field, std::string_view text);
    std::string Take(Field field);
    // The texts moved out (a numbered name made text), the block freed; the place is inline after.
    void Extract(std::string (&texts)[kFields]);
    // A new block of these texts and record, or inline when they are empty and there is none.
    void Build(std::string (&texts)[kFields], RecordText* record);
    void Free();

    std::uint64_t m_word = kInline;
};

static_assert(sizeof(Place) <= 24, "a place of a large input stays small");

// What a reader makes of one file. A point that cannot be used is refused with a warning and
// counted; the file's other points are still delivered, and the caller fails the input.
struct MapReadResult {
    std::vector<Place> places;
    std::vector<Message> warnings;  // one line each, naming the file and the point
    int refused = 0;
};
