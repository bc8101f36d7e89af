#include "maps/UserReadings.h"

#include <gtest/gtest.h>

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
}  // namespace
