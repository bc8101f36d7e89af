#include "convert/CPoiTable.h"

#include <cstring>
#include <string>
#include <utility>

#include "convert/DmsToDegreeText.h"
#include "glorie/FileErrorText.h"
#include "glorie/GlorieWriter.h"
#include "platform/Cp932Text.h"
#include "platform/MessageBox.h"

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
    std::string& bytes = text.Str();
    bytes.resize(Cp932TruncatedLength(bytes.c_str(), kNameLimit));
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


int CPoiTable::WriteGlorie(CString strFileName) {
    CFileException error;
    if (WriteGlorie(strFileName, error) == 0) return 0;
    ReportOpenError(error, strFileName);
    return -1;
}

int CPoiTable::WriteGlorie(const CString& strFileName, CFileException& openError) {
    CSaveFile file;
    if (!file.Open(strFileName, &openError)) return -1;
    WriteDocument(file);
    file.Commit();
    return 0;
}

void CPoiTable::WriteDocument(CSaveFile& file) const { glorie::WriteDocument(file, m_entries, GetCount()); }

void CPoiTable::WriteText(CSaveFile& file, const char* text) { WriteText(file, text, std::strlen(text)); }

void CPoiTable::WriteText(CSaveFile& file, const char* text, std::size_t length) { glorie::WriteText(file, text, length); }

void CPoiTable::ReportOpenError(const CFileException& error, CString strFileName) {
    AfxMessageBox(OpenFailureMessage(error, strFileName), kMbOk);
}
