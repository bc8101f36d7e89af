#pragma once
// Memory-point files made from points: the exact layout the store reads.
#include <string>
#include <vector>

struct MemPointRecord {
    std::string name;     // CP932, at most 16 bytes (longer is cut without splitting a character)
    std::string reading;  // CP932, at most 16 bytes, cut the same way
    std::string digits;   // decimal digits; the store reads back the first 10
    double latitude = 0;  // Tokyo datum, degrees, 0 to 1165
    double longitude = 0;
};

constexpr int kMemPointsPerFile = 100;

// The 10804-byte file: the empty image, then records 0 to n-1 used in order (n <= 100).
std::string EncodeMemPointFile(const std::vector<MemPointRecord>& records);
