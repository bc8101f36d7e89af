#pragma once
// One place on its way between the navigation unit's files and today's map formats.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The bytes a memory-point record held, kept so that they reach the unit's formats untouched
// (CP932 has characters with two codes).
struct RecordText {
    std::string name;
    std::string reading;
};

// How a place's coordinates were brought into the datum they are in now.
enum class DatumMethod : std::uint8_t { none, grid, helmert };

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
    PlaceOrigin() = default;  // none: a place the program made itself
    static PlaceOrigin Point(int number) { return {kPoint, number}; }            // "地点 4": a memory point
    static PlaceOrigin Line(int line) { return {kLine, line}; }                  // "12 行目": a table's record, an element
    static PlaceOrigin PointOnLine(int line) { return {kPointOnLine, line}; }    // "12 行目の地点": a glorie point
    static PlaceOrigin Feature(int number) { return {kFeature, number}; }        // "地物 2": a GeoJSON feature

    std::string Text() const;  // empty for none

private:
    enum Kind : std::uint32_t { kNone, kPoint, kLine, kPointOnLine, kFeature };
    static constexpr int kNumberBits = 29;  // a 32 MB input has fewer lines
    PlaceOrigin(Kind kind, int number)
        : m_value(kind << kNumberBits | (static_cast<std::uint32_t>(number) & ((1u << kNumberBits) - 1))) {}

    std::uint32_t m_value = 0;
};

inline std::string PlaceOrigin::Text() const {
    const std::string number = std::to_string(m_value & ((1u << kNumberBits) - 1));
    switch (static_cast<Kind>(m_value >> kNumberBits)) {
    case kPoint: return "地点 " + number;
    case kLine: return number + " 行目";
    case kPointOnLine: return number + " 行目の地点";
    case kFeature: return "地物 " + number;
    case kNone: break;
    }
    return {};
}

// 64 bytes: the name and the coordinates inline, the reading, the digits and the record in a
// block of their own that a place without them does not have.
class Place {
public:
    std::string name;     // UTF-8, as the user should see it (never cut)
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    PlaceOrigin origin;   // where it came from, for messages
    DatumMethod method = DatumMethod::none;

    Place() = default;
    Place(const Place& other) : name(other.name), latitude(other.latitude), longitude(other.longitude),
                                origin(other.origin), method(other.method),
                                m_details(other.m_details ? std::make_unique<Details>(*other.m_details) : nullptr) {}
    Place(Place&&) noexcept = default;
    Place& operator=(const Place& other) {
        if (this != &other) *this = Place(other);
        return *this;
    }
    Place& operator=(Place&&) noexcept = default;
    ~Place() = default;

    // UTF-8; empty when there is none.
    const std::string& Reading() const { return m_details ? m_details->reading : Empty(); }
    void SetReading(std::string reading) { SetText(&Details::reading, std::move(reading)); }
    // The memory point's digit string (a phone number); ASCII.
    const std::string& Digits() const { return m_details ? m_details->digits : Empty(); }
    void SetDigits(std::string digits) { SetText(&Details::digits, std::move(digits)); }
    // The unit's texts of a memory point with a name or a reading; null for others.
    const RecordText* Record() const { return m_details ? m_details->record.get() : nullptr; }
    void SetRecord(RecordText record) {
        Make().record = std::make_unique<const RecordText>(std::move(record));
    }
    void ClearRecord() {
        if (m_details) m_details->record.reset();
    }

private:
    struct Details {
        std::string reading;
        std::string digits;
        std::unique_ptr<const RecordText> record;
        Details() = default;
        Details(const Details& other)
            : reading(other.reading), digits(other.digits),
              record(other.record ? std::make_unique<const RecordText>(*other.record) : nullptr) {}
    };

    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }
    Details& Make() {
        if (!m_details) m_details = std::make_unique<Details>();
        return *m_details;
    }
    // An empty text costs no block.
    void SetText(std::string Details::*field, std::string text) {
        if (!text.empty() || m_details) Make().*field = std::move(text);
    }

    std::unique_ptr<Details> m_details;
};

static_assert(sizeof(void*) != 8 || sizeof(Place) <= 64, "a place of a large input stays small");

// What a reader makes of one file. A point that cannot be used is refused with a warning and
// counted; the file's other points are still delivered, and the caller fails the input.
struct MapReadResult {
    std::vector<Place> places;
    std::vector<std::string> warnings;  // one line each (UTF-8), naming the file and the point
    int refused = 0;
};
