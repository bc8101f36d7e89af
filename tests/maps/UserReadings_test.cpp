#include "maps/UserReadings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "maps/MapError.h"
#include "platform/Cp932Text.h"
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
        const UserReadings readings = UserReadings::Parse(file.bytes, "my.csv");
        EXPECT_EQ(readings.Size(), 4u) << file.encoding;
        for (const auto& c : cases) {
            std::string reading;
            EXPECT_EQ(readings.Match(c.name, reading), c.matched) << file.encoding << " " << c.name;
            EXPECT_EQ(reading, c.reading) << file.encoding << " " << c.name;
        }
    }
    // Of two lines for one name, the later.
    std::string reading;
    EXPECT_EQ(UserReadings::Parse("首里,しゅり\n首里城,しゅりじょう\n首里,すり\n", "my.csv").Match("首里", reading), 6u);
    EXPECT_EQ(reading, "ｽﾘ");
}

TEST(UserReadings, ALineItCannotTakeIsNamedAndNothingIsTaken) {
    const struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        {"首里城,しゅりじょう\n首里城\n", "my.csv: 2 行目: 名称と読みの二つの列が要ります"},
        {"首里城,しゅりじょう,城\n", "my.csv: 1 行目: 名称と読みの二つの列が要ります"},
        {"\n\n首里城, \n", "my.csv: 3 行目: 名称か読みが空です"},
        {",しゅり\n", "my.csv: 1 行目: 名称か読みが空です"},
        {"首里城,首里じょう\n", "my.csv: 1 行目: 読み「首里じょう」に仮名でない文字があります"},
    };
    for (const auto& c : cases) {
        try {
            UserReadings::Parse(c.bytes, "my.csv");
            ADD_FAILURE() << c.message;
        } catch (const MapError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

TEST(UserReadings, AFileThatCannotBeReadIsNamed) {
    TempDir dir;
    try {
        UserReadings::Load(CString(dir.File("none.csv")));
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
            const UserReadings readings = UserReadings::Load(CString(path));
            EXPECT_EQ(c.message, "");
            EXPECT_EQ(readings.Size(), 4u);
        } catch (const MapError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
        if (writer.joinable()) writer.join();
    }
}
}  // namespace
