#include "mempoint/CMemPointStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FailingPosixCalls.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"
#include "support/MemImage.h"
#include "app/CConverterApp.h"
#include "app/FileFailureReport.h"

namespace {
using Call = FailingPosixCalls::Call;
const char kUnrecognised[] = "\n    は認識できないファイルです";
const char kCannotOpen[] = "\n    を読み込み用に開けませんでした";

// The result of a load as the dialogs show it, and the texts of the boxes shown, one a line.
struct Outcome {
    int result;
    std::string boxes;
};

Outcome LoadInto(CMemPointStore& store, const std::string& path) {
    RecordingBoxes host;
    const StoreLoadResult result = store.Read(CString(path));
    ReportStoreMessage(host, result.message);
    Outcome outcome{result.status, ""};
    for (const ShownMessageBox& box : host.shown) {
        EXPECT_EQ(box.style, kMbOk | kMbIconExclamation);
        EXPECT_EQ(box.caption, AfxGetAppName());
        outcome.boxes += box.text.Str() + "|";
    }
    return outcome;
}

using Accessor = void (CMemPointStore::*)(CString&, int) const;

// What an accessor puts into a string that held something before.
std::string Text(const CMemPointStore& store, Accessor accessor, int i) {
    CString out("stale");
    (store.*accessor)(out, i);
    return out.Str();
}
std::string Name(const CMemPointStore& store, int i) { return Text(store, &CMemPointStore::GetName, i); }
std::string Reading(const CMemPointStore& store, int i) { return Text(store, &CMemPointStore::GetReading, i); }
std::string Digits(const CMemPointStore& store, int i) { return Text(store, &CMemPointStore::GetDigits, i); }
std::string Longitude(const CMemPointStore& store, int i) { return Text(store, &CMemPointStore::GetLongitude, i); }
std::string Latitude(const CMemPointStore& store, int i) { return Text(store, &CMemPointStore::GetLatitude, i); }

// A store loaded from image; fails the test when the load does not succeed.
class LoadedStore {
public:
    explicit LoadedStore(const MemImage& image) {
        WriteFileBytes(m_dir.File("in.mem"), image.Bytes());
        const Outcome outcome = LoadInto(store, m_dir.File("in.mem"));
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.boxes, "");
    }
    CMemPointStore store;

private:
    TempDir m_dir;
};

int OpenDescriptors() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++n;
    }
    return n;
}

std::string ImageOf(const CMemPointStore& store) {
    return std::string(reinterpret_cast<const char*>(store.Image()), mempoint::kFileSize);
}

TEST(CMemPointStore, StartsWithTheEmptyImage) {
    CMemPointStore store;
    EXPECT_EQ(ImageOf(store), MemImage().Bytes());
    EXPECT_EQ(store.GetCount(), 0);
    EXPECT_EQ(Name(store, 0), "");
    EXPECT_EQ(Reading(store, 99), "");
    EXPECT_EQ(Digits(store, 0), "");
    EXPECT_EQ(Longitude(store, 0), " 00.00.00.000");
}

TEST(CMemPointStore, ExtensionIsTestedBeforeTheFileIsOpened) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("old.mem").c_str(), 0755), 0);
    const std::string image = MemImage().Use(0).Bytes();
    struct Row {
        std::string path;
        bool passes;
    };
    const Row rows[] = {
        {dir.File("TRIP.mem"), true},
        {dir.File("trip.Mem"), true},
        {dir.File("TRIP.MEM"), true},
        {dir.File("trip.mEM"), true},
        {dir.File("旅行.mem"), true},
        {dir.File("trip.mem.bak"), false},
        {dir.File("trip"), false},
        {dir.File("old.mem/trip"), false},
        {dir.File("trip."), false},
        {dir.File("trip.me"), false},
        {dir.File("trip.memo"), false},
        {dir.File("trip.ｍｅｍ"), false},
    };
    for (const Row& row : rows) {
        WriteFileBytes(row.path, image);
        CMemPointStore store;
        FailingPosixCalls calls;
        const Outcome outcome = LoadInto(store, row.path);
        if (row.passes) {
            EXPECT_EQ(outcome.result, 0) << row.path;
            EXPECT_EQ(outcome.boxes, "") << row.path;
            EXPECT_EQ(store.GetCount(), 1) << row.path;
        } else {
            EXPECT_EQ(outcome.result, -1) << row.path;
            EXPECT_EQ(outcome.boxes, row.path + kUnrecognised + "|");
            EXPECT_EQ(calls.Count(Call::Open), 0) << row.path;
            EXPECT_EQ(store.GetCount(), 0);
        }
    }
}

TEST(CMemPointStore, MessagesShowThePathExactlyAsGiven) {
    const std::string paths[] = {"D:\\old.mem\\trip", "relative/trip.txt", "  spaced .mem.x", "%s%d.bak", ""};
    for (const std::string& path : paths) {
        CMemPointStore store;
        EXPECT_EQ(LoadInto(store, path).boxes, path + kUnrecognised + "|");
    }
}

TEST(CMemPointStore, OnlyTheExactLengthIsAMemoryPointFile) {
    const std::string image = MemImage().Use(0).Use(1).Bytes();
    struct Row {
        std::string bytes;
        int result;
        int reads;
    };
    const Row rows[] = {
        {image.substr(0, 10803), -1, 0},
        {image, 0, 1},
        {image + '\0', -1, 0},
        {"", -1, 0},
        {image + image, -1, 0},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const std::string path = dir.File("x.mem");
        WriteFileBytes(path, row.bytes);
        CMemPointStore store;
        FailingPosixCalls calls;
        const Outcome outcome = LoadInto(store, path);
        EXPECT_EQ(outcome.result, row.result) << row.bytes.size();
        EXPECT_EQ(outcome.boxes, row.result == 0 ? "" : path + kUnrecognised + "|") << row.bytes.size();
        EXPECT_EQ(calls.Count(Call::Read), row.reads) << row.bytes.size();
        EXPECT_EQ(store.GetCount(), row.result == 0 ? 2 : 0);
        EXPECT_EQ(calls.Count(Call::Close), calls.Count(Call::Open)) << "the file is closed";
    }
}

TEST(CMemPointStore, OpenFailuresShowOneMessageForTheirCause) {
    TempDir dir;
    const std::string image = MemImage().Use(0).Bytes();
    const std::string good = dir.File("good.mem");
    WriteFileBytes(good, image);
    const std::string held = dir.File("held.mem");
    WriteFileBytes(held, image);
    LockHolder holder(held);
    ASSERT_TRUE(holder.Holding());
    ASSERT_EQ(mkdir(dir.File("folder.mem").c_str(), 0755), 0);

    struct Row {
        std::string path;
        Call failing;
        int err;  // 0: nothing fails through the seam
        std::string boxes;
    };
    const Row rows[] = {
        {dir.File("missing.mem"), Call::Open, 0, "ファイルが見つかりませんでした。|"},
        {dir.File("nofolder/x.mem"), Call::Open, 0, dir.File("nofolder/x.mem") + kCannotOpen + "|"},
        {held, Call::Open, 0, "ファイルの共有違反です|"},
        {dir.File("folder.mem"), Call::Open, 0, "ファイル アクセス禁止|"},
        {good, Call::Open, EMFILE, good + kCannotOpen + "|"},
        {good, Call::Open, EACCES, "ファイル アクセス禁止|"},
        {good, Call::Flock, EWOULDBLOCK, "ファイルの共有違反です|"},
        {good, Call::Open, EIO, good + kCannotOpen + "|"},
    };
    for (const Row& row : rows) {
        CMemPointStore store;
        FailingPosixCalls calls;
        if (row.err != 0) calls.Fail(row.failing, 1, row.err);
        const Outcome outcome = LoadInto(store, row.path);
        EXPECT_EQ(outcome.result, -1) << row.path;
        EXPECT_EQ(outcome.boxes, row.boxes) << row.path;
        EXPECT_EQ(ImageOf(store), MemImage().Bytes());
    }
}

TEST(CMemPointStore, UnreadableFileIsAccessDenied) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const std::string path = dir.File("secret.mem");
    WriteFileBytes(path, MemImage().Use(0).Bytes());
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    const auto load = [&] {
        CMemPointStore store;
        const Outcome outcome = LoadInto(store, path);
        return std::to_string(outcome.result) + " " + outcome.boxes + std::to_string(store.GetCount());
    };
    EXPECT_EQ(RunInUnprivilegedChild(load), "-1 ファイル アクセス禁止|0");
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(RunInUnprivilegedChild(load), "0 1");
}

TEST(CMemPointStore, ReportOpenErrorChoosesTheTextByCause) {
    struct Row {
        int cause;
        const char* boxes;
    };
    const Row rows[] = {
        {CFileException::none, ""},
        {CFileException::fileNotFound, "ファイルが見つかりませんでした。|"},
        {CFileException::accessDenied, "ファイル アクセス禁止|"},
        {CFileException::sharingViolation, "ファイルの共有違反です|"},
        {CFileException::generic, "in.mem\n    を読み込み用に開けませんでした|"},
        {CFileException::badPath, "in.mem\n    を読み込み用に開けませんでした|"},
        {CFileException::tooManyOpenFiles, "in.mem\n    を読み込み用に開けませんでした|"},
        {CFileException::lockViolation, "in.mem\n    を読み込み用に開けませんでした|"},
        {99, "in.mem\n    を読み込み用に開けませんでした|"},
        {-1, "in.mem\n    を読み込み用に開けませんでした|"},
    };
    for (const Row& row : rows) {
        RecordingBoxes host;
        ReportStoreMessage(host, CMemPointStore::OpenErrorText(CFileException(row.cause, 0, "in.mem")));
        std::string boxes;
        for (const ShownMessageBox& box : host.shown) boxes += box.text.Str() + "|";
        EXPECT_EQ(boxes, row.boxes) << row.cause;
    }
}

TEST(CMemPointStore, OpenErrorInEnglishForThePage) {
    const std::pair<int, const char*> rows[] = {
        {CFileException::none, ""},
        {CFileException::fileNotFound, "The file was not found."},
        {CFileException::sharingViolation, "The file is in use by another program"},
        {CFileException::badPath, "in.mem\n    could not be opened for reading"},
    };
    for (const auto& [cause, english] : rows)
        EXPECT_EQ(Words(CMemPointStore::OpenErrorMessage(CFileException(cause, 0, "in.mem")), Language::en), english) << cause;
}

TEST(CMemPointStore, CountIsTheLeadingRunOfUsedRecords) {
    struct Row {
        std::vector<int> used;
        unsigned char marker;
        int count;
    };
    std::vector<int> all(100);
    for (int i = 0; i < 100; ++i) all[static_cast<std::size_t>(i)] = i;
    std::vector<int> gap;
    for (int i = 0; i < 100; ++i)
        if (i != 10) gap.push_back(i);
    std::vector<int> lateOnly(all.begin() + 1, all.end());
    const Row rows[] = {
        {{}, 1, 0},
        {{0}, 1, 1},
        {gap, 1, 10},
        {all, 1, 100},
        {all, 0xFF, 100},
        {lateOnly, 1, 0},
        {{0, 1, 2, 3, 4, 6, 7, 8}, 0x80, 5},
    };
    for (const Row& row : rows) {
        MemImage image;
        for (int i : row.used) image.Use(i, row.marker);
        LoadedStore loaded(image);
        EXPECT_EQ(loaded.store.GetCount(), row.count);
        EXPECT_EQ(loaded.store.CountUsed(), row.count);
        EXPECT_EQ(ImageOf(loaded.store), image.Bytes()) << "the image is the file byte for byte";
    }
}

TEST(CMemPointStore, TextsEndAtTheFirstZeroAndLoseADanglingLeadByte) {
    struct Row {
        std::string area;
        std::string text;
    };
    const Row rows[] = {
        {"", ""},
        {"ABC", "ABC"},
        {"ABC\x82", "ABC"},
        {"\x82", ""},
        {"\x82\xA0", "\x82\xA0"},
        {"\x82\xA0\x82", "\x82\xA0"},
        {"\x82\x82\x82", "\x82\x82"},
        {"\xE0\x40\xFC", "\xE0\x40"},
        {"\x9F\x9F", "\x9F\x9F"},
        {"A\xFD", "A\xFD"},                // not a lead byte
        {"\xB1\xB2\xDF", "\xB1\xB2\xDF"},  // half-width katakana are single bytes
        {"\x80\xA0", "\x80\xA0"},
        {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},
        {"ABCDEFGHIJKLMN\x82\xA0", "ABCDEFGHIJKLMN\x82\xA0"},
        {"ABCDEFGHIJKLMNO\x82", "ABCDEFGHIJKLMNO"},
        {"\x93\x8C\x8B\x9E\x89\x77\x93\x8C\x8B\x9E\x89\x77\x93\x8C\x8B\x9E", "\x93\x8C\x8B\x9E\x89\x77\x93\x8C\x8B\x9E\x89\x77\x93\x8C\x8B\x9E"},
        {"A\x93\x8C\x8B\x9E\x89\x77\x93\x8C\x8B\x9E\x89\x77\x93\x8C\x8B", "A\x93\x8C\x8B\x9E\x89\x77\x93\x8C\x8B\x9E\x89\x77\x93\x8C"},
        {"&<>\"'", "&<>\"'"},
    };
    for (const Row& row : rows) {
        MemImage image;
        image.Use(0).Name(0, row.area).Reading(0, row.area);
        LoadedStore loaded(image);
        EXPECT_EQ(Name(loaded.store, 0), row.text) << row.area;
        EXPECT_EQ(Reading(loaded.store, 0), row.text) << row.area;
    }
}

TEST(CMemPointStore, BytesAfterTheTerminatorAndOtherFieldsAreIgnored) {
    MemImage image;
    image.Use(0).Use(1).Name(0, "AB").Reading(0, "CD").Name(1, std::string(16, 'N')).Reading(1, std::string(16, 'R'));
    const std::size_t record0 = mempoint::RecordOffset(0);
    image.Byte(record0 + mempoint::kName + 3, 'X').Byte(record0 + mempoint::kReading + 5, 'Y');
    // The bytes right after each 16-byte area are not part of the text.
    const std::size_t record1 = mempoint::RecordOffset(1);
    image.Byte(record1 + mempoint::kName + 16, 'Z').Byte(record1 + mempoint::kReading + 16, 'Z');
    LoadedStore loaded(image);
    EXPECT_EQ(Name(loaded.store, 0), "AB");
    EXPECT_EQ(Reading(loaded.store, 0), "CD");
    EXPECT_EQ(Name(loaded.store, 1), std::string(16, 'N'));
    EXPECT_EQ(Reading(loaded.store, 1), std::string(16, 'R'));
}

TEST(CMemPointStore, DigitsArePackedNibblesUpToTheFirstF) {
    struct Row {
        std::vector<unsigned char> bytes;  // from record offset 70
        std::string digits;
    };
    const Row rows[] = {
        {{0x1A, 0x2F}, "1:2"},
        {{0xFF}, ""},
        {{0x03, 0x12, 0x34, 0x56, 0x78}, "0312345678"},
        {{0x31, 0x2F}, "312"},
        {{0xAB, 0xCD, 0xEF}, ":;<=>"},
        {{0x0F}, "0"},
        {{0xF1}, ""},
        {{0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34}, "1234567890"},
        {{0x99, 0x99, 0x99, 0x99, 0x9F}, "999999999"},
    };
    for (const Row& row : rows) {
        MemImage image;
        image.Use(0);
        for (std::size_t k = 0; k < row.bytes.size(); ++k) image.Byte(mempoint::RecordOffset(0) + mempoint::kDigits + k, row.bytes[k]);
        LoadedStore loaded(image);
        EXPECT_EQ(Digits(loaded.store, 0), row.digits);
    }
}

TEST(CMemPointStore, CoordinatesReadAsDmsText) {
    struct Row {
        unsigned char b[4];
        const char* dms;
    };
    const Row rows[] = {
        {{0x1E, 0xB5, 0x68, 0x80}, "139.45.30.500"},
        {{0x1E, 0xB5, 0x6B, 0x80}, "139.45.30.500"},
        {{0x07, 0xD5, 0xC4, 0x40}, " 35.39.29.250"},
        {{0x00, 0x00, 0x00, 0x00}, " 00.00.00.000"},
        {{0x00, 0x00, 0x03, 0x01}, " 00.00.00.004"},
        {{0x00, 0x00, 0x04, 0xFF}, " 00.00.01.996"},
        {{0x15, 0xF8, 0xFC, 0x00}, " 99.59.59.000"},  // 359999 s
        {{0x15, 0xF9, 0x00, 0x00}, "100.00.00.000"},  // 360000 s
        {{0xDB, 0xBA, 0x00, 0x00}, ":00.00.00.000"},  // 3600000 s: 1000 degrees
        {{0xF1, 0xB3, 0x00, 0x00}, ";00.00.00.000"},  // 3960000 s: 1100 degrees
        {{0xFF, 0xFF, 0xFF, 0xFF}, ";65.05.03.996"},  // the largest value: 1165 degrees
    };
    for (const Row& row : rows) {
        MemImage image;
        image.Use(0).LongitudeBytes(0, row.b[0], row.b[1], row.b[2], row.b[3]).LatitudeBytes(0, row.b[0], row.b[1], row.b[2], row.b[3]);
        image.LongitudeBytes(1, 0x1E, 0xB5, 0x68, 0x80);
        LoadedStore loaded(image);
        EXPECT_EQ(Longitude(loaded.store, 0), row.dms);
        EXPECT_EQ(Latitude(loaded.store, 0), row.dms);
        EXPECT_EQ(Latitude(loaded.store, 1), " 00.00.00.000") << "fields of another record are not read";
    }
}

TEST(CMemPointStore, LongitudeAndLatitudeAreSeparateFields) {
    MemImage image;
    image.Use(0).LongitudeBytes(0, 0x1E, 0xB5, 0x68, 0x80).LatitudeBytes(0, 0x07, 0xD5, 0xC4, 0x40);
    LoadedStore loaded(image);
    EXPECT_EQ(Longitude(loaded.store, 0), "139.45.30.500");
    EXPECT_EQ(Latitude(loaded.store, 0), " 35.39.29.250");
    EXPECT_EQ(loaded.store.DecodeCoordinate(0, CMemPointStore::longitude), 503130u * 256 + 128);
    EXPECT_EQ(loaded.store.DecodeCoordinate(0, CMemPointStore::latitude), 128369u * 256 + 64);
}

TEST(CMemPointStore, FractionsRoundHalfUpToThousandths) {
    struct Row {
        unsigned fraction;
        const char* thousandths;
    };
    const Row rows[] = {{0x00, "000"}, {0x01, "004"}, {0x02, "008"}, {0x80, "500"}, {0xFF, "996"}, {0x03, "012"}, {0x20, "125"}, {0x40, "250"}, {0x7F, "496"}, {0xC0, "750"}};
    for (const Row& row : rows) {
        char buffer[16];
        std::fill(buffer, buffer + sizeof buffer, '#');
        CMemPointStore::FormatDms(buffer, (MemImage::Seconds(35, 39, 29) << 8) | row.fraction);
        EXPECT_EQ(std::string(buffer), std::string(" 35.39.29.") + row.thousandths);
        EXPECT_EQ(buffer[14], '#') << "nothing is written after the terminator";
    }
}

TEST(CMemPointStore, FailedLoadLeavesImageAndCountUnchanged) {
    TempDir dir;
    MemImage first;
    first.Use(0).Use(1).Use(2).Name(0, "first");
    const std::string firstPath = dir.File("first.mem");
    WriteFileBytes(firstPath, first.Bytes());
    const std::string second = MemImage().Use(0).Name(0, "second").Bytes();
    const std::string secondPath = dir.File("second.mem");
    WriteFileBytes(secondPath, second);
    WriteFileBytes(dir.File("short.mem"), second.substr(1));

    CMemPointStore store;
    ASSERT_EQ(LoadInto(store, firstPath).result, 0);
    ASSERT_EQ(store.GetCount(), 3);

    struct Row {
        std::string path;
        Call call;
        int nth;
        int err;  // 0 with limit: a short read
        std::size_t limit;
        std::string thrown;  // empty: Load returns -1
    };
    const Row rows[] = {
        {dir.File("second.txt"), Call::Open, 0, 0, 0, ""},
        {dir.File("missing.mem"), Call::Open, 0, 0, 0, ""},
        {dir.File("short.mem"), Call::Open, 0, 0, 0, ""},
        {secondPath, Call::Open, 1, EMFILE, 0, ""},
        {secondPath, Call::Read, 1, EIO, 0, "10 5 " + secondPath},
        {secondPath, Call::Read, 1, 0, 0, "14 -1 " + secondPath},
        {secondPath, Call::Read, 2, 0, 0, "14 -1 " + secondPath},  // 10803 bytes, then the end
        {secondPath, Call::Close, 1, EIO, 0, "10 5 "},
    };
    for (const Row& row : rows) {
        const int descriptors = OpenDescriptors();
        FailingPosixCalls calls;
        if (row.nth > 0 && row.err != 0) calls.Fail(row.call, row.nth, row.err);
        if (row.nth > 0 && row.err == 0) calls.Short(row.call, row.nth, row.limit);
        if (row.nth == 2) calls.Short(row.call, 1, 10803);
        std::string thrown;
        try {
            EXPECT_EQ(LoadInto(store, row.path).result, -1) << row.path;
        } catch (const CFileException& e) {
            thrown = std::to_string(e.m_cause) + " " + std::to_string(e.m_lOsError) + " " + e.m_strFileName.Str();
        }
        EXPECT_EQ(thrown, row.thrown) << row.path << " " << FailingPosixCalls::Name(row.call);
        EXPECT_EQ(ImageOf(store), first.Bytes());
        EXPECT_EQ(store.GetCount(), 3);
        EXPECT_EQ(OpenDescriptors(), descriptors) << "the input is closed";
    }
    ASSERT_EQ(LoadInto(store, secondPath).result, 0);
    EXPECT_EQ(ImageOf(store), second);
    EXPECT_EQ(store.GetCount(), 1);
    EXPECT_EQ(Name(store, 0), "second");
}

TEST(CMemPointStore, IndexesOutsideTheImageGiveEmptyTexts) {
    MemImage image;
    for (int i = 0; i < 100; ++i) image.Use(i).Name(i, "N").Reading(i, "R").Digits(i, "12").Longitude(i, 1, 0);
    LoadedStore loaded(image);
    const int indexes[] = {-1, 100, 1000, -2147483647 - 1};
    for (int i : indexes) {
        EXPECT_EQ(Name(loaded.store, i), "");
        EXPECT_EQ(Reading(loaded.store, i), "");
        EXPECT_EQ(Digits(loaded.store, i), "");
        EXPECT_EQ(Longitude(loaded.store, i), " 00.00.00.000");
    }
    EXPECT_EQ(Name(loaded.store, 99), "N");
}
}  // namespace
