// Edits of names and readings applied by the conversion: the edited input written beside, never
// over, the input; the unit's cut, its "?" and its capacity; what is then converted and listed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "pipeline/Conversion.h"
#include "formats/FormatIo.h"
#include "text/Cp932Text.h"
#include "support/TempDir.h"

namespace {
std::string Gpx(int points) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (int i = 0; i < points; ++i)
        text += "<wpt lat=\"35." + std::to_string(10 + i) + "\" lon=\"139.5\"><name>p" + std::to_string(i) + "</name><cmt>よみ</cmt></wpt>\n";
    return text + "</gpx>\n";
}

// A glorie document of more points than the unit's file holds, as a map export may make one.
std::string ManyGlorie(int points) {
    std::string text = "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\n<glorie version=\"1.0\">\n";
    for (int i = 0; i < points; ++i)
        text += "<gpoi><poi><point><pos><lat>35.5</lat><lon>139.5</lon></pos></point><name><nb>p" + std::to_string(i) +
                "</nb></name></poi></gpoi>\n";
    return text + "</glorie>\n";
}

std::string Utf8(const std::string& cp932) {
    std::string text;
    Cp932ToUtf8(cp932, text);
    return text;
}

std::string Glorie(int points) {
    std::vector<Place> places;
    for (int i = 0; i < points; ++i) {
        Place place;
        place.SetName("点" + std::to_string(i));
        place.SetReading("ﾃﾝ");
        place.latitude = 35.5;
        place.longitude = 139.5;
        places.push_back(place);
    }
    return WriteAs("glorie", places);
}

PointEdit Named(const char* name) {
    PointEdit edit;
    edit.hasName = true;
    edit.name = name;
    return edit;
}

PointEdit Read(const char* reading) {
    PointEdit edit;
    edit.hasReading = true;
    edit.reading = reading;
    return edit;
}

struct EditCase {
    const char* what;
    const char* input;  // its file name
    std::string bytes;
    std::map<std::size_t, PointEdit> edits;
    bool edited;
    std::string places;    // the first points listed: name, the unit's name and reading
    std::string messages;  // every message, one a line; @ for the input's path
};

class PointEdits : public testing::TestWithParam<EditCase> {};

TEST_P(PointEdits, AreAppliedByTheConversionBesideTheInput) {
    const EditCase& c = GetParam();
    TempDir dir;
    WriteFileBytes(dir.File(c.input), c.bytes);
    ASSERT_EQ(::mkdir(dir.File("edited").c_str(), 0777), 0);
    ConversionOptions options;
    options.target = FormatRegistry::Find("gpx");
    options.guessReadings = false;
    options.edits.points[dir.File(c.input)] = c.edits;
    options.edits.folder = CString(dir.File("edited"));
    Conversion conversion(options);
    std::vector<ConversionMessage> messages;
    const std::vector<CString> edited = conversion.ApplyEdits(messages);
    std::string said, expected = c.messages;
    for (const ConversionMessage& message : messages) said += message.text + "\n";
    for (std::size_t at; (at = expected.find('@')) != std::string::npos;) expected.replace(at, 1, dir.File(c.input));
    EXPECT_EQ(said, expected);
    EXPECT_EQ(edited.size(), c.edited ? 1u : 0u);
    EXPECT_EQ(ReadFileBytes(dir.File(c.input)), c.bytes);  // the input stays as it was
    EXPECT_EQ(FileExists(dir.File("edited/" + std::string(c.input))), c.edited);

    // The listing and the conversion read the edited document.
    const ListResult listed = conversion.List(CString(dir.File(c.input)));
    ASSERT_TRUE(listed.read);
    std::string names;
    for (const ListedPoint& point : listed.points) names += point.name + "|" + Utf8(point.unitName) + "|" + Utf8(point.unitReading) + "\n";
    EXPECT_EQ(names.substr(0, c.places.size()), c.places);
    const ConversionResult result = conversion.Convert({CString(dir.File(c.input))}, CString(dir.File("out.gpx")));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(ReadAs("gpx", ReadFileBytes(dir.File("out.gpx")), "out.gpx").places.at(0).Name(), listed.points.at(0).name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PointEdits,
    testing::Values(
        EditCase{"a map's name and reading; past the last point nothing", "a.gpx", Gpx(2), {{1, Named("新しい名前")}, {0, Read("べつ")}, {7, Named("ない")}}, true, "p0|p0|べつ\n新しい名前|新しい名前|\n", ""},
        EditCase{"the unit's: cut to 16 bytes, \"?\" said", "a.xml", Glorie(2), {{0, Named("♨名前を書き換えた長い地点の名称")}}, true, "?名前を書き換え|?名前を書き換え|ﾃﾝ\n点1|点1|ﾃﾝ\n", "@: 9 行目の地点「♨名前を書き換えた長い地点の名称」: 文字「♨」はナビで表示できません。「?」にしました\n"},
        EditCase{"a reading alone keeps the name", "a.xml", Glorie(1), {{0, Read("あたらしい")}}, true, "点0|点0|ｱﾀﾗｼｲ\n", ""},
        EditCase{"more points than the format's file holds: not edited", "a.xml", ManyGlorie(701), {{0, Named("q")}}, false, "p0|p0|\n", "@: 701 地点あるため、編集を反映できません (glorie 文書は 1 ファイル 700 地点まで)\n"}),
    [](const testing::TestParamInfo<EditCase>& param) { return "Case" + std::to_string(param.index); });
}  // namespace
