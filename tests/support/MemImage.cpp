#include "support/MemImage.h"

#include <stdexcept>

#include "mempoint/MemPointEncoder.h"
#include "mempoint/MemPointFormat.h"

using namespace mempoint;

MemImage::MemImage() : m_bytes(EmptyImage()) {}

unsigned char* MemImage::Field(int record, std::size_t offset) {
    return reinterpret_cast<unsigned char*>(&m_bytes[At(record, offset)]);
}

std::size_t MemImage::At(int record, std::size_t offset) const {
    if (record < 0 || record >= kRecordCount) throw std::out_of_range("record");
    return RecordOffset(record) + offset;
}

MemImage& MemImage::Use(int record, unsigned char marker) {
    m_bytes[At(record, kInUse)] = static_cast<char>(marker);
    return *this;
}

MemImage& MemImage::Free(int record) { return Use(record, 0); }

MemImage& MemImage::Text(int record, std::size_t offset, const std::string& bytes) {
    if (bytes.size() > kTextSize) throw std::length_error("text longer than 16 bytes");
    const std::size_t at = At(record, offset);
    for (std::size_t i = 0; i < kTextSize; ++i) m_bytes[at + i] = i < bytes.size() ? bytes[i] : '\0';
    return *this;
}

MemImage& MemImage::Name(int record, const std::string& bytes) { return Text(record, kName, bytes); }
MemImage& MemImage::Reading(int record, const std::string& bytes) { return Text(record, kReading, bytes); }

MemImage& MemImage::CoordinateBytes(int record, std::size_t offset, const std::uint8_t (&bytes)[4]) {
    const std::size_t at = At(record, offset);
    for (std::size_t i = 0; i < 4; ++i) m_bytes[at + i] = static_cast<char>(bytes[i]);
    return *this;
}

MemImage& MemImage::LongitudeBytes(int record, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return CoordinateBytes(record, kLongitude, {b0, b1, b2, b3});
}

MemImage& MemImage::LatitudeBytes(int record, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return CoordinateBytes(record, kLatitude, {b0, b1, b2, b3});
}

MemImage& MemImage::Coordinate(int record, std::size_t offset, std::uint32_t seconds, std::uint8_t fraction) {
    PutCoordinate(Field(record, offset), {seconds, fraction});
    return *this;
}

MemImage& MemImage::Longitude(int record, std::uint32_t seconds, std::uint8_t fraction) {
    return Coordinate(record, kLongitude, seconds, fraction);
}

MemImage& MemImage::Latitude(int record, std::uint32_t seconds, std::uint8_t fraction) {
    return Coordinate(record, kLatitude, seconds, fraction);
}

MemImage& MemImage::Digits(int record, const std::string& digits) {
    if (digits.size() > 2 * kDigitsSize) throw std::length_error("too many digits");
    for (const char ch : digits)
        if (ch < '0' || ch > '9') throw std::invalid_argument("not a decimal digit");
    PutDigits(Field(record, kDigits), digits);
    return *this;
}

MemImage& MemImage::Byte(std::size_t fileOffset, std::uint8_t value) {
    m_bytes.at(fileOffset) = static_cast<char>(value);
    return *this;
}
