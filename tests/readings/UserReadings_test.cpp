#include "readings/UserReadings.h"
#include "support/Said.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "text/MapError.h"
#include "text/Cp932Text.h"
#include "support/TempDir.h"

namespace {
const std::string kList = "首里城,しゅりじょう\n\"首里城公園, 正殿\",シュリジョウコウエンセイデン\r\n\n首里,ｼｭﾘ\n渡月橋,とげつきょう\n";

TEST(UserReadings, TheLongestNameTheNameStartsWithGivesItsReading) {
    const struct {
        const char* encoding;
        std::string bytes;
    } files[] = {{"UTF-8", kList}, {"UTF-8 with a mark", "\xEF\xBB\xBF" + kList}, {"CP932", Utf8ToCp932(kList)}};
    const struct {
        const char* name;
        std::size_t matched;
        const char* reading;
    } cases[] = {
        {"首里城", 9, "ｼｭﾘｼﾞｮｳ"},
        {"首里城公園", 9, "ｼｭﾘｼﾞｮｳ"},
        {"首里城公園, 正殿", 23, "ｼｭﾘｼﾞｮｳｺｳｴﾝｾｲﾃﾞﾝ"},
        {"首里駅", 6, "ｼｭﾘ"},
        {"渡月橋", 9, "ﾄｹﾞﾂｷｮｳ"},
        {"首", 0, ""},
        {"嵐山渡月橋", 0, ""},
        {"", 0, ""},
    };
    for (const auto& file : files) {
        std::vector<Message> warnings;
        const UserReadings readings = UserReadings::Parse(file.bytes, "my.csv", warnings);
        EXPECT_EQ(readings.Size(), 4u) << file.encoding;
        EXPECT_TRUE(warnings.empty()) << file.encoding;
        for (const auto& c : cases) {
            std::string reading;
            EXPECT_EQ(readings.Match(c.name, reading), c.matched) << file.encoding << " " << c.name;
            EXPECT_EQ(reading, c.reading) << file.encoding << " " << c.name;
        }
    }
    // Of two lines for one name, the later.
    std::string reading;
    std::vector<Message> warnings;
    EXPECT_EQ(UserReadings::Parse("首里,しゅり\n首里城,しゅりじょう\n首里,すり\n", "my.csv", warnings).Match("首里", reading), 6u);
    EXPECT_EQ(reading, "ｽﾘ");
}

TEST(UserReadings, AnEntryIsFoundAnywhereInAName) {
    std::vector<Message> warnings;
    const UserReadings readings = UserReadings::Parse("湯畑,ゆばたけ\n草津,くさつ\n草津温泉,くさつおんせん\n", "my.csv", warnings);
    const struct {
        const char* name;
        std::size_t at, matched;
        const char* reading;
    } cases[] = {
        {"草津温泉 湯畑", 13, 6, "ﾕﾊﾞﾀｹ"},    // after the space
        {"草津温泉 湯畑", 0, 12, "ｸｻﾂｵﾝｾﾝ"},  // the longest entry there
        {"草津温泉 湯畑", 3, 0, ""},          // 津温泉 is none
        {"湯畑", 6, 0, ""},                   // at the end
        {"湯畑", 9, 0, ""},                   // past it
    };
    for (const auto& c : cases) {
        std::string reading;
        EXPECT_EQ(readings.MatchAt(c.name, c.at, reading), c.matched) << c.name << " " << c.at;
        EXPECT_EQ(reading, c.reading) << c.name << " " << c.at;
    }
}

// A header, Excel's trailing commas, tabs and the table --to csv writes are taken; a line that
// cannot be taken is said, and the others used.
TEST(UserReadings, ListsAsSpreadsheetsSaveThemAreTakenAndABadLineIsLeftOut) {
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::pair<const char*, const char*>> readings;  // name, reading
        std::vector<std::string> warnings;
    } cases[] = {
        {"header", "名称,読み\n首里城,しゅりじょう\n", {{"首里城", "ｼｭﾘｼﾞｮｳ"}, {"名称", ""}}, {}},
        {"header reading first", "ふりがな,Name\nしゅり,首里\n", {{"首里", "ｼｭﾘ"}}, {}},
        {"trailing commas", "首里城,しゅりじょう,,\n湯畑,ゆばたけ,\n", {{"首里城", "ｼｭﾘｼﾞｮｳ"}, {"湯畑", "ﾕﾊﾞﾀｹ"}}, {}},
        {"tabs", "首里城\tしゅりじょう\n\"首里, 那覇\"\tしゅりなは\n", {{"首里城", "ｼｭﾘｼﾞｮｳ"}, {"首里, 那覇", "ｼｭﾘﾅﾊ"}}, {}},
        {"a table written --to csv",
         "name,reading,latitude,longitude,digits,推測\r\n首里城,ｼｭﾘｼﾞｮｳ,26.2,127.7,,○\r\n那覇,,26.2,127.6,,\r\n",
         {{"首里城", "ｼｭﾘｼﾞｮｳ"}, {"那覇", ""}},
         {}},
        {"bad lines",
         "首里城,しゅりじょう\n首里\n湯畑,ゆばたけ,城\n\n首里, \n,しゅり\n首里,首里じょう\n渡月橋,とげつきょう\n",
         {{"首里城", "ｼｭﾘｼﾞｮｳ"}, {"渡月橋", "ﾄｹﾞﾂｷｮｳ"}, {"首里", ""}, {"湯畑", ""}},
         {"my.csv: 2 行目: 名称と読みの二つの列が要ります。この行は使いません",
          "my.csv: 3 行目: 名称と読みの二つの列が要ります。この行は使いません",
          "my.csv: 5 行目: 名称か読みが空です。この行は使いません", "my.csv: 6 行目: 名称か読みが空です。この行は使いません",
          "my.csv: 7 行目: 読み「首里じょう」に仮名でない文字があります。この行は使いません"}},
    };
    for (const auto& c : cases) {
        std::vector<Message> warnings;
        const UserReadings readings = UserReadings::Parse(c.bytes, "my.csv", warnings);
        for (const auto& [name, reading] : c.readings) {
            std::string found;
            EXPECT_EQ(readings.Match(name, found), *reading ? std::string(name).size() : 0u) << c.what << " " << name;
            EXPECT_EQ(found, reading) << c.what << " " << name;
        }
        EXPECT_EQ(Texts(warnings), c.warnings) << c.what;
    }
}

TEST(UserReadings, AFileThatCannotBeReadIsNamed) {
    TempDir dir;
    try {
        std::vector<Message> warnings;
        UserReadings::Load(CString(dir.File("none.csv")), warnings);
        ADD_FAILURE();
    } catch (const MapError& error) {
        EXPECT_EQ(std::string(error.what()), dir.File("none.csv") + " が見つかりませんでした。");
    }
}

// A list given as a pipe is read to its end, however slowly it comes; one past the input limit, a
// pipe or a file, is refused by name rather than read.
TEST(UserReadings, APipeIsReadWholeAndALargeListRefused) {
    TempDir dir;
    const std::string large = dir.File("large.csv");
    WriteFileBytes(large, "");
    std::filesystem::resize_file(large, (32u << 20) + 1);
    const struct {
        bool fifo;
        std::string bytes;  // through the FIFO
        const char* file;
        std::string message;  // empty: read
    } cases[] = {
        {true, kList, "fifo", ""},
        {true, std::string((32u << 20) + 1, '\n'), "fifo", "読みの辞書 " + dir.File("fifo") + " は大きすぎます。読み込めるのは 32 MB までです"},
        {false, "", "large.csv", "読みの辞書 " + large + " は大きすぎます (32 MB)。読み込めるのは 32 MB までです"},
    };
#ifndef _WIN32
    signal(SIGPIPE, SIG_IGN);  // the writer of a list refused writes on into a closed pipe
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string path = dir.File(c.file);
        std::thread writer;
#ifndef _WIN32
        if (c.fifo) {
            std::filesystem::remove(path);
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            // The writer waits for the reader, then writes in two parts with a pause between.
            writer = std::thread([&path, &c] {
                const int fd = open(path.c_str(), O_WRONLY);
                const std::size_t half = c.bytes.size() / 2;
                bool ok = write(fd, c.bytes.data(), half) == static_cast<ssize_t>(half);
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                for (std::size_t at = half; ok && at < c.bytes.size();) {
                    const ssize_t wrote = write(fd, c.bytes.data() + at, c.bytes.size() - at);
                    ok = wrote > 0;
                    at += ok ? static_cast<std::size_t>(wrote) : 0;
                }
                close(fd);
            });
        }
#else
        if (c.fifo) continue;
#endif
        try {
            std::vector<Message> warnings;
            const UserReadings readings = UserReadings::Load(CString(path), warnings);
            EXPECT_TRUE(warnings.empty());
            EXPECT_EQ(c.message, "");
            EXPECT_EQ(readings.Size(), 4u);
        } catch (const MapError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
        if (writer.joinable()) writer.join();
    }
}
}  // namespace
