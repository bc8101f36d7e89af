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
// The bytes of source (a C string) kept when it is cut to at most limit bytes without splitting
// a character. Names are CP932 bytes whatever the host's code page, so the lead-byte test is
// CP932's. Only the first limit + 1 bytes are looked at: that is enough to know whether to cut.
std::size_t TruncatedLength(const char* source, int limit) {
    const std::size_t room = limit < 0 ? 0 : static_cast<std::size_t>(limit);
    std::size_t length = 0;
    while (length <= room && source[length] != '\0') ++length;
    if (length <= room) return length;
    std::size_t cut = room;
    if (cut > 0) {
        // Walk whole characters so a trail byte is never taken for a lead byte.
        std::size_t at = 0;
        while (at < cut - 1) at += mempoint::IsLeadByte(static_cast<unsigned char>(source[at])) ? 2 : 1;
        if (at == cut - 1 && mempoint::IsLeadByte(static_cast<unsigned char>(source[at]))) --cut;
    }
    return cut;
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
    std::string& bytes = text.Str();
    bytes.resize(TruncatedLength(bytes.c_str(), kNameLimit));
    m_entries[position].name = std::move(text);
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

void CPoiTable::CopyTruncated(char* destination, const char* source, int limit) {
    const std::size_t cut = TruncatedLength(source, limit);
    std::memcpy(destination, source, cut);
    destination[cut] = '\0';
}
