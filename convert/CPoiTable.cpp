#include "convert/CPoiTable.h"

#include <cstring>
#include <string>
#include <utility>

#include "convert/DmsToDegreeText.h"
#include "mempoint/MemPointFormat.h"

namespace {
// Most entries already hold their defaults at a reset; leaving those alone keeps a reset of 700
// entries cheap.
template <std::size_t N>
void Assign(CString& text, const char (&value)[N]) {
    constexpr std::size_t length = N - 1;
    std::string& bytes = text.Str();
    if (bytes.size() != length || std::memcmp(bytes.data(), value, length) != 0) bytes.assign(value, length);
}

void SetDefaults(PoiEntry& entry, int index) {
    entry.index = static_cast<std::int16_t>(index);
    entry.name.Empty();
    entry.reading.Empty();
    entry.longitude.Empty();
    entry.latitude.Empty();
    entry.digits.Empty();
    entry.directionCenter.Empty();
    Assign(entry.mediaId, "0");
    Assign(entry.outmost, "500");
    Assign(entry.categorySuffix, "00");
    entry.activation = 0;
}
}  // namespace

CPoiTable::CPoiTable() { Reset(); }

void CPoiTable::Reset() {
    for (PoiEntry& entry : m_entries) SetDefaults(entry, -1);
}

void CPoiTable::ResetEntry(int position) { SetDefaults(m_entries[position], position); }

int CPoiTable::GetCount() const {
    int count = 0;
    while (count < kCapacity && m_entries[count].index != -1) ++count;
    return count;
}

void CPoiTable::SetName(CString text, int position) {
    char buffer[2 * kNameLimit];
    CopyTruncated(buffer, text.GetString(), kNameLimit);
    m_entries[position].name.Str().assign(buffer);
}

void CPoiTable::SetReading(CString text, int position) { m_entries[position].reading = std::move(text); }

void CPoiTable::SetLongitude(CString text, int position) {
    DmsToDegreeText(text);
    m_entries[position].longitude = std::move(text);
}

void CPoiTable::SetLatitude(CString text, int position) {
    DmsToDegreeText(text);
    m_entries[position].latitude = std::move(text);
}

void CPoiTable::SetDigits(CString text, int position) { m_entries[position].digits = std::move(text); }

// Names are CP932 bytes whatever the host's code page, so the lead-byte test is CP932's.
void CPoiTable::CopyTruncated(char* destination, const char* source, int limit) {
    if (limit < 0) limit = 0;
    const std::size_t length = std::strlen(source);
    std::size_t cut = length;
    if (length > static_cast<std::size_t>(limit)) {
        cut = static_cast<std::size_t>(limit);
        if (cut > 0) {
            // Walk whole characters so a trail byte is never taken for a lead byte.
            std::size_t at = 0;
            while (at < cut - 1) at += mempoint::IsLeadByte(static_cast<unsigned char>(source[at])) ? 2 : 1;
            if (at == cut - 1 && mempoint::IsLeadByte(static_cast<unsigned char>(source[at]))) --cut;
        }
    }
    std::memcpy(destination, source, cut);
    destination[cut] = '\0';
}
