#include "mempoint/MemPointEncoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "mempoint/CMemPointStore.h"
#include "support/TempDir.h"

namespace {
struct StoredPoint {
    std::string name, reading, digits, latitude, longitude;
};

StoredPoint Stored(const CMemPointStore& store, int i) {
    StoredPoint point;
    CString text;
    store.GetName(text, i), point.name = text.Str();
    store.GetReading(text, i), point.reading = text.Str();
    store.GetDigits(text, i), point.digits = text.Str();
    store.GetLatitude(text, i), point.latitude = text.Str();
    store.GetLongitude(text, i), point.longitude = text.Str();
    return point;
}

void LoadEncoded(CMemPointStore& store, const std::vector<MemPointRecord>& records) {
    TempDir dir;
    const std::string bytes = EncodeMemPointFile(records);
    ASSERT_EQ(bytes.size(), mempoint::kFileSize);
    WriteFileBytes(dir.File("out.mem"), bytes);
    ASSERT_EQ(store.Read(CString(dir.File("out.mem"))).status, 0);
}

constexpr double Degrees(int d, int m, double s) { return d + m / 60.0 + s / 3600.0; }

TEST(MemPointEncoder, StoreReadsBackWhatWasEncoded) {
    const struct {
        MemPointRecord record;
        StoredPoint expected;
    } cases[] = {
        {{"Origin", "", "", 0, 0}, {"Origin", "", "", " 00.00.00.000", " 00.00.00.000"}},
        // The file keeps 1/256 s: 52.4496 s is 115/256 after the whole seconds, 1.65 s is 166/256.
        {{"\x93\x8c\x8b\x9e\x89\x77", "\xC4\xB3\xB7\xAE\xB3\xB4\xB7", "03-1234-5678", 35.681236, 139.767125},
         {"\x93\x8c\x8b\x9e\x89\x77", "\xC4\xB3\xB7\xAE\xB3\xB4\xB7", "0312345678", " 35.40.52.449", "139.46.01.648"}},
        // 59.999 s is 255.74/256 s: rounds into the next minute.
        {{"carry", "", "", Degrees(35, 0, 59.999), Degrees(139, 59, 59.9999)}, {"carry", "", "", " 35.01.00.000", "140.00.00.000"}},
        {{"1/256", "", "031234567890", Degrees(35, 0, 1 + 1 / 256.0), Degrees(1, 0, 0.5 / 256.0 + 1e-9)},
         {"1/256", "", "0312345678", " 35.00.01.004", " 01.00.00.004"}},
        // 14 bytes and a double-byte character fill the 16 bytes; one byte more cuts the character off.
        {{"ABCDEFGHIJKLMN\x93\x8c", "ABCDEFGHIJKLMNO\x93\x8c", "", 1, 1},
         {"ABCDEFGHIJKLMN\x93\x8c", "ABCDEFGHIJKLMNO", "", " 01.00.00.000", " 01.00.00.000"}},
    };
    std::vector<MemPointRecord> records;
    for (const auto& c : cases) records.push_back(c.record);
    CMemPointStore store;
    LoadEncoded(store, records);
    ASSERT_EQ(store.GetCount(), static_cast<int>(records.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        const StoredPoint got = Stored(store, static_cast<int>(i));
        const StoredPoint& want = cases[i].expected;
        EXPECT_EQ(got.name, want.name);
        EXPECT_EQ(got.reading, want.reading);
        EXPECT_EQ(got.digits, want.digits);
        EXPECT_EQ(got.latitude, want.latitude);
        EXPECT_EQ(got.longitude, want.longitude);
    }
}

TEST(MemPointEncoder, HundredRecordsAndTheRestOfTheImageAsTheStoreDefaultsIt) {
    std::vector<MemPointRecord> records(kMemPointsPerFile);
    for (int i = 0; i < kMemPointsPerFile; ++i)
        records[static_cast<std::size_t>(i)] = {"P" + std::to_string(i), "", std::string(20, '9'), 35 + i / 1000.0, 139};
    CMemPointStore store;
    LoadEncoded(store, records);
    EXPECT_EQ(store.GetCount(), 100);
    EXPECT_EQ(Stored(store, 99).name, "P99");

    // 18 digits fill the field with no end nibble; more are not kept.
    const std::string bytes = EncodeMemPointFile(records);
    const std::size_t digits = mempoint::RecordOffset(0) + mempoint::kDigits;
    EXPECT_EQ(bytes.substr(digits, mempoint::kDigitsSize), std::string(mempoint::kDigitsSize, '\x99'));

    // One record: every byte outside its fields is the store's empty image.
    const std::string one = EncodeMemPointFile({records[0]});
    const CMemPointStore empty;
    const auto* image = reinterpret_cast<const char*>(empty.Image());
    EXPECT_EQ(one.substr(mempoint::RecordOffset(1)), std::string(image + mempoint::RecordOffset(1), image + mempoint::kFileSize));
    EXPECT_EQ(one.substr(0, mempoint::kHeaderSize), std::string(image, mempoint::kHeaderSize));
    EXPECT_EQ(one[mempoint::RecordOffset(0) + 7], image[mempoint::RecordOffset(0) + 7]);

    records.emplace_back();
    EXPECT_THROW(EncodeMemPointFile(records), std::out_of_range);
    for (const double bad : {-0.001, 1166.0, double{NAN}})
        EXPECT_THROW(EncodeMemPointFile({{"x", "", "", bad, 139}}), std::out_of_range) << bad;
}
}  // namespace
