#include "maps/UnitFields.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "convert/CPoiTable.h"
#include "maps/ReadingGuesser.h"
#include "mempoint/CMemPointStore.h"
#include "platform/Cp932Text.h"
#include "platform/Utf8.h"

CString DegreesToDms(double degrees) {
    const double sixteenths = degrees * 3600.0 * 256.0;
    const double whole = std::nearbyint(sixteenths);
    char buffer[16];
    if (std::fabs(sixteenths - whole) < 1e-6) {
        CMemPointStore::FormatDms(buffer, static_cast<std::uint32_t>(whole));
        return CString(buffer);
    }
    const auto total = static_cast<std::uint64_t>(std::llround(degrees * 3600000.0));
    const std::uint64_t seconds = total / 1000;
    std::snprintf(buffer, sizeof buffer, "%3u.%02u.%02u.%03u", static_cast<unsigned>(seconds / 3600),
                  static_cast<unsigned>(seconds % 3600 / 60), static_cast<unsigned>(seconds % 60),
                  static_cast<unsigned>(total % 1000));
    return CString(buffer);
}

std::string CutUnitField(const std::string& cp932) {
    char cut[CPoiTable::kNameLimit + 1];
    CopyCp932Truncated(cut, cp932.c_str(), CPoiTable::kNameLimit);
    return cut;
}

std::string FirstCharacters(const std::string& text, std::size_t count) {
    std::size_t i = 0;
    while (i < text.size() && count-- > 0) NextCodePoint(text, i);
    return text.substr(0, i);
}

RecordText UnitRecord(const Place& place, std::vector<std::string>* unmapped) {
    if (const RecordText* kept = place.Record()) return {CutUnitField(kept->name), CutUnitField(kept->reading)};
    const std::size_t field = static_cast<std::size_t>(CPoiTable::kNameLimit);
    RecordText record;
    record.name = Utf8ToCp932(FirstCharacters(place.name, field + 1), unmapped);
    std::vector<std::string> readingUnmapped;
    record.reading = Utf8ToCp932(FirstCharacters(place.Reading(), field + 1), &readingUnmapped);
    if (record.reading.size() > field) {
        readingUnmapped.clear();
        record.reading = Utf8ToCp932(ToHalfWidthKatakana(FirstCharacters(place.Reading(), 4 * field)), &readingUnmapped);
    }
    if (unmapped) unmapped->insert(unmapped->end(), readingUnmapped.begin(), readingUnmapped.end());
    record.name = CutUnitField(record.name);
    record.reading = CutUnitField(record.reading);
    return record;
}
