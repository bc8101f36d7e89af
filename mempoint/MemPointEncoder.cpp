#include "mempoint/MemPointEncoder.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "mempoint/CMemPointStore.h"
#include "mempoint/MemPointFormat.h"
#include "text/Cp932Text.h"

namespace mempoint {
namespace {
constexpr double kUnitsPerDegree = 3600.0 * 256.0;
constexpr std::size_t kMaxPackedDigits = 2 * kDigitsSize;

unsigned char* Bytes(std::string& image, std::size_t offset) {
    return reinterpret_cast<unsigned char*>(&image[offset]);
}
}  // namespace

bool CoordinateFits(double degrees) {
    if (!(degrees >= 0)) return false;
    return std::llround(degrees * kUnitsPerDegree) / 256 <= static_cast<long long>(kMaxSeconds);
}

Seconds256 ToSeconds256(double degrees) {
    if (!CoordinateFits(degrees)) throw std::out_of_range("coordinate outside 0 to 1165 degrees");
    const auto units = static_cast<std::uint64_t>(std::llround(degrees * kUnitsPerDegree));
    return {static_cast<std::uint32_t>(units / 256), static_cast<std::uint8_t>(units % 256)};
}

// The store's defaults are the empty image: taken from it, so the two never disagree.
std::string EmptyImage() {
    const CMemPointStore empty;
    return std::string(reinterpret_cast<const char*>(empty.Image()), kFileSize);
}

// The store reads the seconds from the top 22 bits of the first three bytes, the fraction from
// the fourth: (seconds << 10) | fraction, big-endian.
void PutCoordinate(unsigned char* field, Seconds256 value) {
    if (value.seconds > kMaxSeconds) throw std::out_of_range("seconds");
    const std::uint32_t bits = (value.seconds << 10) | value.fraction;
    field[0] = static_cast<unsigned char>(bits >> 24);
    field[1] = static_cast<unsigned char>(bits >> 16);
    field[2] = static_cast<unsigned char>(bits >> 8);
    field[3] = static_cast<unsigned char>(bits);
}

// Two digits a byte, high nibble first, ended by a 0xF nibble; the unused rest stays 0xFF.
void PutDigits(unsigned char* field, const std::string& digits) {
    std::memset(field, 0xFF, kDigitsSize);
    std::size_t k = 0;
    for (const char ch : digits) {
        if (ch < '0' || ch > '9') continue;
        if (k == kMaxPackedDigits) break;
        const auto nibble = static_cast<unsigned>(ch - '0');
        unsigned char& byte = field[k / 2];
        byte = k % 2 == 0 ? static_cast<unsigned char>((nibble << 4) | 0x0F)
                          : static_cast<unsigned char>((byte & 0xF0) | nibble);
        ++k;
    }
}

void PutText(unsigned char* area, const std::string& cp932) {
    const std::size_t length = Cp932TruncatedLength(cp932.c_str(), static_cast<int>(kTextSize));
    std::memcpy(area, cp932.data(), length);
    std::memset(area + length, 0, kTextSize - length);
}
}  // namespace mempoint

std::string EncodeMemPointFile(const std::vector<MemPointRecord>& records) {
    using namespace mempoint;
    if (records.size() > static_cast<std::size_t>(kRecordCount)) throw std::out_of_range("more than 100 records");
    std::string image = EmptyImage();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const MemPointRecord& record = records[i];
        const std::size_t base = RecordOffset(static_cast<int>(i));
        image[base + kInUse] = 1;
        PutCoordinate(Bytes(image, base + kLongitude), ToSeconds256(record.longitude));
        PutCoordinate(Bytes(image, base + kLatitude), ToSeconds256(record.latitude));
        PutText(Bytes(image, base + kName), record.name);
        PutText(Bytes(image, base + kReading), record.reading);
        PutDigits(Bytes(image, base + kDigits), record.digits);
    }
    return image;
}
