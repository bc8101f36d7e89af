#include "convert/ConversionDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/GoldenFile.h"
#include "support/RecordingMessageBoxHost.h"
#include "support/TempDir.h"
#include "support/MemImage.h"
#include "app/FileFailureReport.h"

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

// A conversion as the dialogs run it: an output that cannot be opened is told in a box.
int Convert(const CMemPointStore& store, CPoiTable& table, const CString& out) {
    CFileException openError;
    const int result = ConvertPoints(store, table, out, openError);
    if (result != 0) ReportOutputOpenFailure(openError, out);
    return result;
}

// A store loaded from the image, through a file as the program does it.

std::unique_ptr<CMemPointStore> Load(const MemImage& image, const TempDir& dir) {
    const std::string path = dir.File("points.mem");
    WriteFileBytes(path, image.Bytes());
    auto store = std::make_unique<CMemPointStore>();
    EXPECT_EQ(store->Read(CString(path)).status, 0);
    return store;
}

void ExpectFree(const CPoiTable& table, int from) {
    for (int i = from; i < CPoiTable::kCapacity; ++i) {
        ASSERT_EQ(table.Entry(i).index, -1) << i;
        ASSERT_EQ(table.Entry(i).name, "") << i;
    }
}

TEST(ConversionDriver, ConvertsAHundredPointsIntoTheDocument) {
    const TempDir dir;
    RecordingMessageBoxHost boxes;
    const auto store = Load(HundredPoints(), dir);
    ASSERT_EQ(store->GetCount(), 100);
    const auto table = std::make_unique<CPoiTable>();
    ResetPoiTable(*table);
    const std::string out = dir.File("points.xml");
    EXPECT_EQ(Convert(*store, *table, CString(out)), 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(table->GetCount(), 100);
    EXPECT_EQ(table->Entry(99).index, 99);
    ExpectFree(*table, 100);
    for (int i = 0; i < 100; ++i) {
        const PoiEntry& entry = table->Entry(i);
        EXPECT_EQ(entry.name, NameOf(i)) << i;
        EXPECT_EQ(entry.reading, ReadingOf(i)) << i;
        EXPECT_EQ(entry.digits, i % 4 ? std::to_string(1000003 * (i + 1)).substr(0, 10) : "") << i;
        EXPECT_EQ(entry.categorySuffix, "00");
        EXPECT_EQ(entry.mediaId, "0");
        EXPECT_EQ(entry.outmost, "500");
        EXPECT_EQ(entry.directionCenter, "");
        EXPECT_EQ(entry.activation, 0);
    }
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
        RecordingMessageBoxHost boxes;
        MemImage image;
        image.Use(0).Name(0, "P");
        image.LongitudeBytes(0, c.longitude[0], c.longitude[1], c.longitude[2], c.longitude[3]);
        image.LatitudeBytes(0, c.latitude[0], c.latitude[1], c.latitude[2], c.latitude[3]);
        const auto store = Load(image, dir);
        const auto table = std::make_unique<CPoiTable>();
        EXPECT_EQ(Convert(*store, *table, CString(dir.File("out.xml"))), 0);
        EXPECT_EQ(table->Entry(0).longitude.Str(), c.expectedLongitude);
        EXPECT_EQ(table->Entry(0).latitude.Str(), c.expectedLatitude);
    }
}

TEST(ConversionDriver, AFileWithoutPointsStillGetsADocument) {
    const TempDir dir;
    RecordingMessageBoxHost boxes;
    MemImage image;
    image.Free(0).Use(1).Name(1, "not a point");
    const auto store = Load(image, dir);
    const auto table = std::make_unique<CPoiTable>();
    EXPECT_EQ(Convert(*store, *table, CString(dir.File("out.xml"))), 0);
    EXPECT_EQ(table->GetCount(), 0);
    ExpectFree(*table, 0);
    EXPECT_TRUE(MatchesGolden(ReadFileBytes(dir.File("out.xml")), "empty.xml"));
}

TEST(ConversionDriver, AnUnopenableOutputReturnsFailureAndKeepsTheEntries) {
    const TempDir dir;
    const auto store = Load(HundredPoints(), dir);
    const auto table = std::make_unique<CPoiTable>();
    RecordingMessageBoxHost boxes;
    const std::string out = dir.File("missing") + "/points.xml";
    EXPECT_EQ(Convert(*store, *table, CString(out)), -1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "\"" + out + "\"\n\n不正パス");
    EXPECT_EQ(table->GetCount(), 100);
    EXPECT_EQ(table->Entry(42).name, NameOf(42));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"points.mem"});
}

TEST(ConversionDriver, ASecondConversionLeavesNothingOfTheFirst) {
    const TempDir dir;
    RecordingMessageBoxHost boxes;
    const auto table = std::make_unique<CPoiTable>();
    MemImage ten;
    for (int i = 0; i < 10; ++i) ten.Use(i).Name(i, "first").Reading(i, "r").Digits(i, "99");
    MemImage three;
    for (int i = 0; i < 3; ++i) three.Use(i).Name(i, "second");
    const auto first = Load(ten, dir);
    ResetPoiTable(*table);
    EXPECT_EQ(Convert(*first, *table, CString(dir.File("a.xml"))), 0);
    EXPECT_EQ(table->GetCount(), 10);
    const auto second = Load(three, dir);
    ResetPoiTable(*table);
    EXPECT_EQ(Convert(*second, *table, CString(dir.File("b.xml"))), 0);
    EXPECT_EQ(table->GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(table->Entry(i).name, "second");
        EXPECT_EQ(table->Entry(i).reading, "");
        EXPECT_EQ(table->Entry(i).digits, "");
    }
    ExpectFree(*table, 3);
}
}  // namespace
