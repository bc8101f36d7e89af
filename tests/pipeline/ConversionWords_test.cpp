// A conversion's messages carry their id and arguments: the page words them in English, the
// command line and the dialogs keep the Japanese text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/FormatIo.h"
#include "formats/FormatRegistry.h"
#include "pipeline/Conversion.h"
#include "support/TempDir.h"

namespace {
TEST(ConversionWords, EachMessageIsWordedInBothLanguagesFromItsId) {
    TempDir dir;
    WriteFileBytes(dir.File("p.csv"), "name,lat,lon\nA,35.5,139.5\nB,95,139.5\nC,0,0\nD,-33.8,151.2\n");
    ConversionOptions options;
    options.target = FormatRegistry::Find("glorie");
    options.guessReadings = false;
    Conversion conversion(options);
    const ConversionResult result = conversion.Convert({CString(dir.File("p.csv"))}, CString(dir.File("p.xml")));
    const struct {
        ConversionMessage::Kind kind;
        MessageId id;
        const char *ja, *en;
    } expected[] = {
        {ConversionMessage::Kind::warning, MessageId::refused, "@p.csv: 3 行目: 緯度「95」は -90〜90 の数値ではありません。この地点は読みません",
         "@p.csv: line 3: the latitude “95” is not a number from -90 to 90. This point is not read"},
        {ConversionMessage::Kind::refusal, MessageId::pointSaid, "@p.csv: 4 行目「C」: 座標 (緯度 0, 経度 0) は位置がないことを表します",
         "@p.csv: line 4 “C”: the coordinates (latitude 0, longitude 0) stand for no position"},
        {ConversionMessage::Kind::refusal, MessageId::pointSaid, "@p.csv: 5 行目「D」: 南緯または西経の座標はナビに記録できません (緯度 -33.8, 経度 151.2)",
         "@p.csv: line 5 “D”: the unit cannot record a place south or west (latitude -33.8, longitude 151.2)"},
        {ConversionMessage::Kind::warning, MessageId::outsideJapan,
         "@p.csv: 5 行目「D」: 日本の範囲の外です。測地系は Helmert 変換で換算しました (精度は数百 m 以下になることがあります)",
         "@p.csv: line 5 “D”: outside Japan; its datum was shifted by the Helmert transformation (it may be off by a few hundred metres)"},
        {ConversionMessage::Kind::written, MessageId::writtenOne, "@p.csv -> @p.xml (1 地点)", "@p.csv -> @p.xml (1 point)"},
        {ConversionMessage::Kind::failure, MessageId::pointsNotConverted, "@p.csv: 3 地点は変換できませんでした",
         "@p.csv: 3 points could not be converted"},
    };
    const auto shown = [&](std::string text) {
        for (std::size_t at; (at = text.find(dir.Path() + "/")) != std::string::npos;) text.replace(at, dir.Path().size() + 1, "@");
        return text;
    };
    ASSERT_EQ(result.messages.size(), std::size(expected));
    for (std::size_t i = 0; i < result.messages.size(); ++i) {
        const ConversionMessage& message = result.messages[i];
        EXPECT_EQ(message.kind, expected[i].kind) << i;
        EXPECT_EQ(message.said.id, expected[i].id) << i;
        EXPECT_EQ(shown(message.text), expected[i].ja) << i;
        EXPECT_EQ(shown(message.Words(Language::ja)), expected[i].ja) << i;
        EXPECT_EQ(shown(message.Words(Language::en)), expected[i].en) << i;
    }
}
}  // namespace
