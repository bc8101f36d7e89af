#pragma once
// Memory-point files made from points: the exact layout the store reads.
#include <cstdint>
#include <string>
#include <vector>

struct MemPointRecord {
    std::string name;     // CP932, at most 16 bytes (longer is cut without splitting a character)
    std::string reading;  // CP932, at most 16 bytes, cut the same way
    std::string digits;   // decimal digits (others are dropped); at most 18 kept, the store reads back 10
    double latitude = 0;  // Tokyo datum, degrees, 0 to 1165
    double longitude = 0;
};

constexpr int kMemPointsPerFile = 100;

// The 10804-byte file: the empty image, then records 0 to n-1 used in order. Throws
// std::out_of_range for more than 100 records or a coordinate that does not fit.
std::string EncodeMemPointFile(const std::vector<MemPointRecord>& records);

namespace mempoint {
// A coordinate field's value: whole arc-seconds and a fraction in 1/256 s.
struct Seconds256 {
    std::uint32_t seconds = 0;
    std::uint8_t fraction = 0;
};

constexpr std::uint32_t kMaxSeconds = 0x3FFFFF;  // 22 bits: 1165 degrees and a little

// Whether degrees can be stored at all (0 up to kMaxSeconds, after rounding; not NaN).
bool CoordinateFits(double degrees);
// Rounded to the nearest 1/256 s, a fraction of 256 carried into the next second.
Seconds256 ToSeconds256(double degrees);

// The byte writers the encoder and the test image builder share. field/area point into an image.
std::string EmptyImage();
void PutCoordinate(unsigned char* field, Seconds256 value);  // throws std::out_of_range past kMaxSeconds
void PutDigits(unsigned char* field, const std::string& digits);
void PutText(unsigned char* area, const std::string& cp932);  // cut to 16 bytes, 0x00-padded
}  // namespace mempoint
