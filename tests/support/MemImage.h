#pragma once
// Builds memory-point file images byte by byte: for tests, samples and fuzz seeds.
#include <cstdint>
#include <string>

class MemImage {
public:
    MemImage();  // the empty image: all records free, digit strings empty

    MemImage& Use(int record, unsigned char marker = 1);
    MemImage& Free(int record);
    // Up to 16 bytes; shorter texts are ended by 0x00, a 16-byte text has no terminator.
    MemImage& Name(int record, const std::string& bytes);
    MemImage& Reading(int record, const std::string& bytes);
    // The four bytes of a coordinate field in file order.
    MemImage& LongitudeBytes(int record, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
    MemImage& LatitudeBytes(int record, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
    // Whole arc-seconds and a fraction in 1/256 s.
    MemImage& Longitude(int record, std::uint32_t seconds, std::uint8_t fraction);
    MemImage& Latitude(int record, std::uint32_t seconds, std::uint8_t fraction);
    // Decimal digits (at most 18) packed two a byte, ended by a 0xF nibble.
    MemImage& Digits(int record, const std::string& digits);
    MemImage& Byte(std::size_t fileOffset, std::uint8_t value);

    const std::string& Bytes() const { return m_bytes; }

    static std::uint32_t Seconds(int degrees, int minutes, int seconds) {
        return static_cast<std::uint32_t>((degrees * 60 + minutes) * 60 + seconds);
    }

private:
    MemImage& Text(int record, std::size_t offset, const std::string& bytes);
    MemImage& Coordinate(int record, std::size_t offset, std::uint32_t seconds, std::uint8_t fraction);
    MemImage& CoordinateBytes(int record, std::size_t offset, const std::uint8_t (&bytes)[4]);
    std::size_t At(int record, std::size_t offset) const;
    unsigned char* Field(int record, std::size_t offset);

    std::string m_bytes;
};
