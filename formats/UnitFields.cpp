#include "formats/UnitFields.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "convert/CPoiTable.h"
#include "readings/ReadingGuesser.h"
#include "mempoint/CMemPointStore.h"
#include "text/Cp932Text.h"
#include "text/Utf8.h"

namespace {
// value in decimal, at least width digits wide (padded with pad), as printf's %3u and %02u give it.
char* Decimal(char* at, unsigned value, int width, char pad) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int k = count; k < width; ++k) *at++ = pad;
    while (count > 0) *at++ = digits[--count];
    return at;
}
}  // namespace

CString DegreesToDms(double degrees) {
    const double sixteenths = degrees * 3600.0 * 256.0;
    const double whole = std::nearbyint(sixteenths);
    if (std::fabs(sixteenths - whole) < 1e-6) {
        char buffer[16];
        CMemPointStore::FormatDms(buffer, static_cast<std::uint32_t>(whole));
        return CString(buffer);
    }
    const auto total = static_cast<std::uint64_t>(std::llround(degrees * 3600000.0));
    const std::uint64_t seconds = total / 1000;
    // "%3u.%02u.%02u.%03u" written by hand (snprintf took a tenth of a large glorie conversion),
    // cut to the 15 characters the store's buffer holds.
    char buffer[48];
    char* at = Decimal(buffer, static_cast<unsigned>(seconds / 3600), 3, ' ');
    *at++ = '.';
    at = Decimal(at, static_cast<unsigned>(seconds % 3600 / 60), 2, '0');
    *at++ = '.';
    at = Decimal(at, static_cast<unsigned>(seconds % 60), 2, '0');
    *at++ = '.';
    at = Decimal(at, static_cast<unsigned>(total % 1000), 3, '0');
    *at = '\0';
    buffer[15] = '\0';
    return CString(buffer);
}

namespace {
// The bytes of the first count characters of a UTF-8 text.
std::size_t PrefixBytes(std::string_view text, std::size_t count) { return Utf8PrefixLength(text, count); }

// CutUnitField without a copy.
void CutInPlace(std::string& cp932) { cp932.resize(Cp932TruncatedLength(std::string_view(cp932), CPoiTable::kNameLimit)); }
}  // namespace

std::string CutUnitField(const std::string& cp932) {
    return cp932.substr(0, Cp932TruncatedLength(std::string_view(cp932), CPoiTable::kNameLimit));
}

std::string CutUnitField(std::string&& cp932) {
    CutInPlace(cp932);
    return std::move(cp932);
}

std::string FirstCharacters(const std::string& text, std::size_t count) { return text.substr(0, PrefixBytes(text, count)); }

std::string FirstCharacters(std::string&& text, std::size_t count) {
    text.resize(PrefixBytes(text, count));
    return std::move(text);
}

namespace {
// The unit's texts of a place made into record, or with record null only walked for the
// characters CP932 lacks: one walk for both, so that what is reported is what is written.
void UnitTexts(const Place& place, RecordText* record, std::vector<std::string>* unmapped) {
    const std::size_t field = static_cast<std::size_t>(CPoiTable::kNameLimit);
    const auto convert = [record](std::string* out, std::string_view utf8, std::vector<std::string>* missing) {
        if (!record) return Cp932Length(utf8, missing);
        out->clear();
        AppendUtf8AsCp932(*out, utf8, missing);
        return out->size();
    };
    // The texts are converted where they lie, without copies.
    std::string numbered;
    const std::string_view whole = place.NameView(numbered);
    const std::string_view name = whole.substr(0, 4 * (field + 1));
    convert(record ? &record->name : nullptr, name.substr(0, PrefixBytes(name, field + 1)), unmapped);
    const std::string_view reading = place.ReadingView();
    std::vector<std::string> readingUnmapped;
    const std::size_t first = PrefixBytes(reading, field + 1);
    if (convert(record ? &record->reading : nullptr, reading.substr(0, first), &readingUnmapped) > field) {
        // Made half-width, unless it is so already and no longer than converted above.
        const std::size_t wide = PrefixBytes(reading, 4 * field);
        if (wide != first || reading.substr(0, wide).find('\xE3') != std::string_view::npos) {
            readingUnmapped.clear();
            convert(record ? &record->reading : nullptr, ToHalfWidthKatakana(std::string(reading.substr(0, wide))), &readingUnmapped);
        }
    }
    if (unmapped) unmapped->insert(unmapped->end(), readingUnmapped.begin(), readingUnmapped.end());
    if (!record) return;
    CutInPlace(record->name);
    CutInPlace(record->reading);
}
}  // namespace

RecordText UnitRecord(const Place& place, std::vector<std::string>* unmapped) {
    if (const RecordText* kept = place.Record()) return {CutUnitField(kept->name), CutUnitField(kept->reading)};
    RecordText record;
    UnitTexts(place, &record, unmapped);
    return record;
}

void UnitRecordUnmapped(const Place& place, std::vector<std::string>& unmapped) {
    if (!place.Record()) UnitTexts(place, nullptr, &unmapped);
}
