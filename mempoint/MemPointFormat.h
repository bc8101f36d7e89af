#pragma once
// Byte layout of a memory-point file.
#include <cstddef>

namespace mempoint {
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kRecordSize = 108;
constexpr int kRecordCount = 100;
constexpr std::size_t kFileSize = kHeaderSize + kRecordSize * kRecordCount;  // 10804

// Offsets within a record.
constexpr std::size_t kInUse = 0;
constexpr std::size_t kLongitude = 8;
constexpr std::size_t kLatitude = 12;
constexpr std::size_t kName = 24;
constexpr std::size_t kReading = 52;
constexpr std::size_t kTextSize = 16;
constexpr std::size_t kDigits = 70;
constexpr std::size_t kDigitsSize = 9;
constexpr int kMaxDigits = 10;

constexpr std::size_t RecordOffset(int index) { return kHeaderSize + kRecordSize * static_cast<std::size_t>(index); }

// CP932 lead bytes: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }
}  // namespace mempoint
