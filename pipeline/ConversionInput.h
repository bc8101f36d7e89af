#pragma once
// One input on its way through a conversion: its places, the coordinates as the file had them,
// and each point's fate.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline/ConversionMessage.h"
#include "places/Format.h"
#include "places/Place.h"
#include "platform/CString.h"

class MessageOrder;

inline constexpr double kMaxUnitDegrees = 1000;  // the DMS text has three degree digits

// Why a point is left out of every output: not a position on any map.
inline constexpr char kOutsideMap[] = "範囲外";
inline constexpr char kNoPosition[] = "位置なし";
// Why a point is left out of the unit's outputs only.
inline constexpr char kNotForUnit[] = "ナビに記録不可";

// Each point's fate in a byte: a pointer beside every place of a large input was 8.
class Fates {
public:
    void assign(std::size_t count, std::nullptr_t) { m_fates.assign(count, 0); }
    const char* operator[](std::size_t i) const { return kWhy[m_fates[i]]; }
    void Set(std::size_t i, const char* why) {
        m_fates[i] = static_cast<std::uint8_t>(std::find(std::begin(kWhy), std::end(kWhy), why) - std::begin(kWhy));
    }

private:
    static constexpr const char* kWhy[] = {nullptr, kOutsideMap, kNoPosition, kNotForUnit};
    std::vector<std::uint8_t> m_fates;
};

// "12 行目「NAME」" appended to out.
void AppendPoint(std::string& out, const Place& place);
// "FILE: 12 行目「NAME」" and then what, made in one string: a large input's shift may label a
// warning for every point.
std::string Label(const CString& strInput, const Place& place, std::string_view what = {});
// The unit's degree text of an angle, as the listing shows it; the document's text has no digit
// before the point for less than a degree, a reader needs one.
CString UnitDegreeText(double degrees);

struct ConversionInput {
    MessageOrder* say = nullptr;  // where its refusals are said
    CString name;
    const Format* format = nullptr;
    bool tokyo = true;  // the datum the coordinates are in now
    std::vector<Place> places;
    // Latitude and longitude as read of the points the unit's checks refuse (south or west, or
    // past its degree text), in order, kept by the shift before it moves them; none while the
    // places still hold them as read. Every other point is north and east as read.
    std::vector<std::pair<std::size_t, std::pair<double, double>>> original;
    bool keepOriginal = false;  // for the unit's checks
    bool shifted = false;
    Fates refused;                           // null, or why the point is left out
    int refusedCount = 0;                    // by the reader and here
    std::vector<std::uint32_t> corrections;  // the events whose corrections moved each place (for the listing), when shifted

    // A coordinate as the input has it: the unit's degree text for its own files.
    std::string OriginalText(double value) const;
    std::string OriginalCoordinates(std::size_t i) const;
    // False for a point north and east as read (read is then where it is now).
    bool Original(std::size_t i, std::pair<double, double>& read) const;
    // Before the coordinates change.
    void KeepOriginal();
    void Refuse(std::size_t i, const char* why, const std::string& text, std::vector<ConversionMessage>& messages);
};
