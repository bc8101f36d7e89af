// The unit's own road over a memory-point file: every used record into the one document.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/GoldenFile.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"
#include "support/MemImage.h"
#include "app/CConverterApp.h"
#include "app/FileFailureReport.h"
#include "pipeline/Conversion.h"

namespace {
// Names of every kind a unit stores: ASCII, CP932 kanji, half-width katakana, a full 16 bytes,
// and markup characters.
std::string NameOf(int i) {
    const std::string number = std::to_string(i);
    switch (i % 5) {
    case 0: return "Point " + number;
    case 1: return "\x93\x8C\x8B\x9E\x89\x77" + number;                                              // 東京駅
    case 2: return "\xC4\xB3\xB7\xAE\xB3 " + number;                                                 // ﾄｳｷｮｳ
    case 3: return std::string("\x8E\x52\x8E\xE8\x90\xFC\x8F\x81\x93\x87\x8F\x4C\x8C\xA9\x82\xA0");  // 16 bytes
    default: return "A&W <" + number + ">";
    }
}

std::string ReadingOf(int i) {
    if (i % 3 == 0) return "";
    return i % 3 == 1 ? "\xBC\xDE\xAE\xB3\xCE\xDE" : "reading " + std::to_string(i);
}

MemImage HundredPoints() {
    MemImage image;
    for (int i = 0; i < 100; ++i) {
        image.Use(i, static_cast<unsigned char>(1 + i % 200))
            .Name(i, NameOf(i))
            .Reading(i, ReadingOf(i))
            .Longitude(i, MemImage::Seconds(122 + i % 32, i * 7 % 60, i * 13 % 60), static_cast<std::uint8_t>(i * 37 % 256))
            .Latitude(i, MemImage::Seconds(20 + i % 27, i * 11 % 60, i * 17 % 60), static_cast<std::uint8_t>(i * 53 % 256));
        if (i % 4 != 0) image.Digits(i, std::to_string(1000003 * (i + 1)));
    }
    return image;
}

// A conversion as the dialog runs it: one document, a failure kept for it to tell.
ConversionOptions DialogOptions() {
    ConversionOptions options;
    options.recordForRecord = true;
    options.oneDocument = true;
    return options;
}

ConversionResult Convert(Conversion& conversion, const MemImage& image, const TempDir& dir, const std::string& out) {
    const std::string in = dir.File("points.mem");
    WriteFileBytes(in, image.Bytes());
    return conversion.Convert({CString(in)}, CString(out));
}

ConversionResult Convert(const MemImage& image, const TempDir& dir, const std::string& out) {
    Conversion conversion(DialogOptions());
    return Convert(conversion, image, dir, out);
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(ConversionDriver, ConvertsAHundredPointsIntoTheDocument) {
    const TempDir dir;
    const std::string out = dir.File("points.xml");
    const ConversionResult result = Convert(HundredPoints(), dir, out);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.stop, ConversionResult::Stop::none);
    EXPECT_EQ(result.written, 100u);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_TRUE(MatchesGolden(ReadFileBytes(out), "hundred-points.xml"));
}

TEST(ConversionDriver, TurnsTheStoredCoordinatesIntoDegrees) {
    struct Case {
        std::uint8_t longitude[4];
        std::uint8_t latitude[4];
        const char* expectedLongitude;
        const char* expectedLatitude;
    };
    const Case cases[] = {
        {{0x1E, 0xB5, 0x68, 0x80}, {0x07, 0xD5, 0xC4, 0x40}, "139.75847", "35.65812"},  // 139.45.30.500, 35.39.29.250
        {{0x1E, 0xB5, 0x6B, 0x80}, {0x07, 0xD5, 0xC7, 0x40}, "139.75847", "35.65812"},  // ignored low bits
        {{0, 0, 0, 0}, {0, 0, 0, 0}, ".00000", ".00000"},
        {{0x00, 0x00, 0x04, 0xFF}, {0x00, 0x00, 0x04, 0x01}, ".00055", ".00028"},  // 1.996 s and 1.004 s
    };
    for (const Case& c : cases) {
        const TempDir dir;
        MemImage image;
        image.Use(0).Name(0, "P");
        image.LongitudeBytes(0, c.longitude[0], c.longitude[1], c.longitude[2], c.longitude[3]);
        image.LatitudeBytes(0, c.latitude[0], c.latitude[1], c.latitude[2], c.latitude[3]);
        EXPECT_TRUE(Convert(image, dir, dir.File("out.xml")).ok);
        const std::string doc = ReadFileBytes(dir.File("out.xml"));
        EXPECT_EQ(Count(doc, std::string("<lon>") + c.expectedLongitude + "</lon>"), 1) << c.expectedLongitude;
        EXPECT_EQ(Count(doc, std::string("<lat>") + c.expectedLatitude + "</lat>"), 1) << c.expectedLatitude;
    }
}

TEST(ConversionDriver, AFileWithoutPointsStillGetsADocument) {
    const TempDir dir;
    MemImage image;
    image.Free(0).Use(1).Name(1, "not a point");
    const ConversionResult result = Convert(image, dir, dir.File("out.xml"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.written, 0u);
    EXPECT_TRUE(MatchesGolden(ReadFileBytes(dir.File("out.xml")), "empty.xml"));
}

TEST(ConversionDriver, AnUnopenableOutputIsKeptForTheDialogAndWritesNothing) {
    const CConverterApp app("/opt/quorvel/bin/quorvel");
    const TempDir dir;
    RecordingBoxes boxes;
    const std::string out = dir.File("missing") + "/points.xml";
    const ConversionResult result = Convert(HundredPoints(), dir, out);
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(result.stop, ConversionResult::Stop::notOpened);
    EXPECT_TRUE(result.messages.empty());
    ReportOutputOpenFailure(boxes, result.error, CString(out));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "\"" + out + "\"\n\n不正パス");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"points.mem"});
}

TEST(ConversionDriver, ASecondConversionLeavesNothingOfTheFirst) {
    const TempDir dir;
    Conversion conversion(DialogOptions());
    MemImage ten;
    for (int i = 0; i < 10; ++i) ten.Use(i).Name(i, "first").Reading(i, "r").Digits(i, "99");
    MemImage three;
    for (int i = 0; i < 3; ++i) three.Use(i).Name(i, "second");
    EXPECT_EQ(Convert(conversion, ten, dir, dir.File("a.xml")).written, 10u);
    EXPECT_EQ(Convert(conversion, three, dir, dir.File("b.xml")).written, 3u);
    const std::string doc = ReadFileBytes(dir.File("b.xml"));
    EXPECT_EQ(Count(doc, "<gpoi>"), 3);
    EXPECT_EQ(Count(doc, "<nb>second</nb>"), 3);
    EXPECT_EQ(Count(doc, "first"), 0);
    EXPECT_EQ(Count(doc, "<rt>"), 0);
}
}  // namespace
