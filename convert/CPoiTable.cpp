#include "convert/CPoiTable.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "convert/DmsToDegreeText.h"
#include "glorie/GlorieWriter.h"
#include "text/Cp932Text.h"

namespace {
void SetDefaults(PoiEntry& entry, int index) {
    entry.index = static_cast<std::int16_t>(index);
    entry.name.Empty();
    entry.reading.Empty();
    entry.longitude.Empty();
    entry.latitude.Empty();
    entry.digits.Empty();
}

const PoiEntry& FreeEntry() {
    static const PoiEntry kFree = [] {
        PoiEntry entry;
        SetDefaults(entry, -1);
        return entry;
    }();
    return kFree;
}
}  // namespace

CPoiTable::CPoiTable() { m_entries.reserve(kCapacity); }

void CPoiTable::Reset() {
    for (PoiEntry& entry : m_entries) SetDefaults(entry, -1);
}

void CPoiTable::ResetEntry(int position) { SetDefaults(Entry(position), position); }

int CPoiTable::GetCount() const {
    const int made = static_cast<int>(m_entries.size());
    int count = 0;
    while (count < made && m_entries[static_cast<std::size_t>(count)].index != -1) ++count;
    return count;
}

const PoiEntry& CPoiTable::Entry(int position) const {
    const std::size_t at = static_cast<std::size_t>(position);
    return at < m_entries.size() ? m_entries[at] : FreeEntry();
}

PoiEntry& CPoiTable::Make(int position) {
    // Past the room reserved an entry would move the others, which callers hold by reference.
    if (position < 0 || position >= kCapacity) throw std::out_of_range("CPoiTable position " + std::to_string(position));
    const std::size_t at = static_cast<std::size_t>(position);
    // A copy of the free entry: its short texts are copied, not assigned one by one.
    while (m_entries.size() <= at) m_entries.push_back(FreeEntry());
    return m_entries[at];
}

void CPoiTable::SetName(CString text, int position) {
    std::string& bytes = text.Str();
    bytes.resize(Cp932TruncatedLength(bytes.c_str(), kNameLimit));
    Entry(position).name = std::move(text);
}

void CPoiTable::SetReading(CString text, int position) { Entry(position).reading = std::move(text); }

void CPoiTable::SetLongitude(CString text, int position) {
    DmsToDegreeText(text);
    Entry(position).longitude = std::move(text);
}

void CPoiTable::SetLatitude(CString text, int position) {
    DmsToDegreeText(text);
    Entry(position).latitude = std::move(text);
}

void CPoiTable::SetDigits(CString text, int position) { Entry(position).digits = std::move(text); }


void CPoiTable::WriteGlorie(ByteSink& sink) const { glorie::WriteDocument(sink, m_entries.data(), GetCount()); }
