// Writes a memory-point file of three used records to the path given, for the X11 run when the
// tree has no samples.
#include <cstdio>
#include <string>

#include "support/MemImage.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s file.mem\n", argv[0]);
        return 2;
    }
    MemImage image;
    image.Use(0).Name(0, "Tokyo Station").Reading(0, "tokyo").Digits(0, "0332123456");
    image.Longitude(0, MemImage::Seconds(139, 46, 1), 51).Latitude(0, MemImage::Seconds(35, 40, 52), 200);
    image.Use(1).Name(1, "\x91\xe5\x8d\xe3\x89\x77").Reading(1, "osaka");  // CP932 bytes
    image.Longitude(1, MemImage::Seconds(135, 29, 45), 0).Latitude(1, MemImage::Seconds(34, 42, 9), 128);
    image.Use(2, 2).Name(2, "0123456789ABCDEF").Digits(2, "123456789012345678");
    image.Longitude(2, MemImage::Seconds(141, 21, 0), 255).Latitude(2, MemImage::Seconds(43, 3, 59), 1);
    const std::string& bytes = image.Bytes();
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0 && written) ? 0 : 1;
}
