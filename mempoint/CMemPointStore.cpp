#include "mempoint/CMemPointStore.h"

#include <cstring>

#include "platform/CFile.h"
#include "platform/PathSplit.h"

using namespace mempoint;

namespace {
constexpr std::size_t kEmptyByte7 = 7;
constexpr unsigned char kEmptyByte7Value = 0x0C;
constexpr std::size_t kEmptyFfFirst = 70, kEmptyFfLast = 78;
constexpr std::size_t kEmptyByte79 = 79;
constexpr unsigned char kEmptyByte79Value = 0x1F;
constexpr std::size_t kEmptyByte81 = 81;
constexpr unsigned char kEmptyByte81Value = 0x10;
constexpr std::size_t kEmptyTailFfFirst = 82, kEmptyTailFfLast = 88;

// FormatDms writes this many bytes, then a NUL, whatever the value.
constexpr std::size_t kDmsLength = 13;

constexpr unsigned kSecondsPerDegree = 3600;
constexpr unsigned kSecondsPerMinute = 60;

bool IsRecordIndex(int index) { return index >= 0 && index < kRecordCount; }

char* TwoDigits(char* at, unsigned value) {
    *at++ = static_cast<char>('0' + value / 10);
    *at++ = static_cast<char>('0' + value % 10);
    return at;
}
}  // namespace

CMemPointStore::CMemPointStore() { Reset(); }

StoreLoadResult CMemPointStore::Read(const CString& strPath) {
    if (!PathHasExtension(strPath, ".MEM")) return {-1, UnrecognisedFileText(strPath)};
    CFile file;
    CFileException error;
    if (!file.Open(strPath, CFile::modeRead | CFile::shareExclusive, &error)) return {-1, OpenErrorText(error)};
    if (file.GetLength() != kFileSize) return {-1, UnrecognisedFileText(strPath)};
    // Read aside, so that a failure leaves the image as it was.
    unsigned char buffer[kFileSize];
    if (file.Read(buffer, kFileSize) != kFileSize)
        throw CFileException(CFileException::endOfFile, -1, file.GetFilePath());
    file.Close();
    std::memcpy(image, buffer, kFileSize);
    count = CountUsed();
    return {0, CString()};
}

Message CMemPointStore::OpenErrorMessage(const CFileException& error) {
    switch (error.m_cause) {
    case CFileException::none:
        return {};
    case CFileException::fileNotFound:
        return {MessageId::storeNotFound};
    case CFileException::accessDenied:
        return {MessageId::storeAccessDenied};
    case CFileException::sharingViolation:
        return {MessageId::storeSharingViolation};
    default:
        return {MessageId::storeNotOpened, error.m_strFileName.Str()};
    }
}

CString CMemPointStore::OpenErrorText(const CFileException& error) { return CString(Words(OpenErrorMessage(error))); }

CString CMemPointStore::UnrecognisedFileText(const CString& strPath) {
    CString text;
    text.Format("%s\n    は認識できないファイルです", strPath.GetString());
    return text;
}

bool CMemPointStore::LoadImage(const unsigned char* bytes, std::size_t size) {
    if (size != kFileSize) return false;
    std::memcpy(image, bytes, kFileSize);
    count = CountUsed();
    return true;
}

void CMemPointStore::Reset() {
    std::memset(image, 0, sizeof image);
    for (int i = 0; i < kRecordCount; ++i) {
        unsigned char* record = image + RecordOffset(i);
        record[kEmptyByte7] = kEmptyByte7Value;
        for (std::size_t k = kEmptyFfFirst; k <= kEmptyFfLast; ++k) record[k] = 0xFF;
        record[kEmptyByte79] = kEmptyByte79Value;
        record[kEmptyByte81] = kEmptyByte81Value;
        for (std::size_t k = kEmptyTailFfFirst; k <= kEmptyTailFfLast; ++k) record[k] = 0xFF;
    }
    count = 0;
}

int CMemPointStore::CountUsed() const {
    int i = 0;
    while (i < kRecordCount && image[RecordOffset(i) + kInUse] != 0) ++i;
    return i;
}

namespace {
// The text of a 16-byte area up to its first 0x00, without a lead byte that the end of the
// area cut from its second byte.
CString AreaText(const unsigned char* area) {
    std::size_t length = 0;
    while (length < kTextSize && area[length] != 0) ++length;
    std::size_t i = 0;
    bool danglingLead = false;
    while (i < length) {
        if (IsLeadByte(area[i])) {
            danglingLead = i + 1 == length;
            i += 2;
        } else {
            ++i;
        }
    }
    if (danglingLead) --length;
    return CString(reinterpret_cast<const char*>(area), static_cast<int>(length));
}
}  // namespace

void CMemPointStore::GetName(CString& out, int index) const {
    if (!IsRecordIndex(index)) return out.Empty();
    out = AreaText(image + RecordOffset(index) + kName);
}

// The same cut as the name: a lead byte without its second byte is not text in either field.
void CMemPointStore::GetReading(CString& out, int index) const {
    if (!IsRecordIndex(index)) return out.Empty();
    out = AreaText(image + RecordOffset(index) + kReading);
}

void CMemPointStore::GetDigits(CString& out, int index) const {
    out.Empty();
    if (!IsRecordIndex(index)) return;
    const unsigned char* digits = image + RecordOffset(index) + kDigits;
    char text[kMaxDigits];
    int length = 0;
    for (; length < kMaxDigits; ++length) {
        const unsigned char byte = digits[length / 2];
        const unsigned nibble = length % 2 == 0 ? byte >> 4 : byte & 0x0Fu;
        if (nibble == 0x0F) break;
        text[length] = static_cast<char>('0' + nibble);
    }
    out.Str().assign(text, static_cast<size_t>(length));
}

std::uint32_t CMemPointStore::DecodeCoordinate(int index, CoordinateField field) const {
    if (!IsRecordIndex(index)) return 0;
    const unsigned char* b = image + RecordOffset(index) + static_cast<std::size_t>(field);
    const std::uint32_t seconds = ((std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | b[2]) >> 2;
    return (seconds << 8) | b[3];
}

void CMemPointStore::FormatDms(char* buffer, std::uint32_t value) {
    const std::uint32_t seconds = value >> 8;
    const std::uint32_t fraction = value & 0xFFu;
    const unsigned degrees = seconds / kSecondsPerDegree;
    const unsigned minutes = seconds % kSecondsPerDegree / kSecondsPerMinute;
    const unsigned rest = seconds % kSecondsPerMinute;
    unsigned thousandths = fraction * 1000 / 256;
    if (fraction * 1000 % 256 >= 128) ++thousandths;

    char* at = buffer;
    // Degrees of 1000 and more, found only in corrupt fields, give ':' or ';' here.
    *at++ = degrees / 100 == 0 ? ' ' : static_cast<char>('0' + degrees / 100);
    at = TwoDigits(at, degrees % 100);
    *at++ = '.';
    at = TwoDigits(at, minutes);
    *at++ = '.';
    at = TwoDigits(at, rest);
    *at++ = '.';
    *at++ = static_cast<char>('0' + thousandths / 100);
    at = TwoDigits(at, thousandths % 100);
    *at = '\0';
}

void CMemPointStore::GetLongitude(CString& out, int index) const {
    char buffer[16];
    FormatDms(buffer, DecodeCoordinate(index, longitude));
    out.Str().assign(buffer, kDmsLength);
}

void CMemPointStore::GetLatitude(CString& out, int index) const {
    char buffer[16];
    FormatDms(buffer, DecodeCoordinate(index, latitude));
    out.Str().assign(buffer, kDmsLength);
}
