#include "tests/win32/WineInput.h"

#include "support/MemImage.h"

std::string WineConvertInput() {
    MemImage image;
    image.Use(0).Name(0, "Tokyo St").Reading(0, "\x83\x67\x83\x4C\x83\x87\x83\x45")  // トキョウ
        .Longitude(0, MemImage::Seconds(139, 46, 1), 0x80)
        .Latitude(0, MemImage::Seconds(35, 40, 52), 0x40)
        .Digits(0, "0332123456");
    image.Use(1).Name(1, "\x93\x8c\x8b\x9e\x89\x77")  // 東京駅
        .Longitude(1, MemImage::Seconds(139, 45, 30), 0x80)
        .Latitude(1, MemImage::Seconds(35, 39, 29), 0x40);
    image.Use(2).Name(2, "A&B <C>").Longitude(2, MemImage::Seconds(135, 30, 0), 0x00).Latitude(2, MemImage::Seconds(34, 41, 15), 0xFF).Digits(2, "066");
    image.Use(3).Name(3, "0123456789ABCDEF")  // 16 bytes, no terminator
        .Longitude(3, MemImage::Seconds(141, 21, 7), 0x01)
        .Latitude(3, MemImage::Seconds(43, 3, 44), 0x02);
    image.Use(4).Name(4, "ABCDEFGHIJKLMNO\x82")  // a dangling lead byte is dropped
        .Longitude(4, MemImage::Seconds(127, 40, 50), 0x10)
        .Latitude(4, MemImage::Seconds(26, 12, 45), 0x20);
    image.Use(6).Name(6, "after the gap");  // not converted: record 5 ends the run
    return image.Bytes();
}
