// The map documents: checked by independent parsers, read back by our readers, and the glorie
// documents of this program and of the unit read back.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "text/MapError.h"
#include "formats/FormatIo.h"
#include "support/Said.h"
#include "text/Cp932Text.h"
#include "support/TempDir.h"

namespace {
std::vector<Place> TrickyPlaces() {
    Place a;
    a.SetName("東京駅 \"丸の内\" & <北口>, 1");
    a.SetReading("ﾄｳｷｮｳｴｷ");
    a.SetDigits("0312345678");
    a.latitude = 35.6812463;
    a.longitude = 139.7671005;
    a.SetMethod(DatumMethod::grid);
    Place b;
    b.SetName("中部国際空港");
    b.latitude = 34.8584;
    b.longitude = -0.5;
    b.SetMethod(DatumMethod::helmert);
    return {a, b};
}

// Names as Python's own parsers read them from the file, one a line.
std::string PythonNames(const std::string& format, const std::string& path) {
    const std::map<std::string, const char*> scripts = {
        {"gpx",
         "import sys,xml.etree.ElementTree as E\n"
         "for w in E.parse(sys.argv[1]).getroot().iter('{http://www.topografix.com/GPX/1/1}wpt'):\n"
         " print(w.find('{http://www.topografix.com/GPX/1/1}name').text, w.get('lat'), w.get('lon'))\n"},
        {"kml",
         "import sys,xml.etree.ElementTree as E\nn='{http://www.opengis.net/kml/2.2}'\n"
         "for p in E.parse(sys.argv[1]).getroot().iter(n+'Placemark'):\n"
         " print(p.find(n+'name').text, *reversed(p.find(n+'Point').find(n+'coordinates').text.split(',')))\n"},
        {"geojson",
         "import sys,json\nd=json.load(open(sys.argv[1],encoding='utf-8'))\nassert 'crs' not in d\n"
         "for f in d['features']:\n print(f['properties']['name'], *reversed(f['geometry']['coordinates']))\n"},
        {"csv",
         "import sys,csv\nr=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
         "assert r[0]==['name','reading','latitude','longitude','digits']\n"
         "for x in r[1:]:\n print(x[0], x[2], x[3])\n"}};
    const std::string script = path + ".py";
    std::ofstream(script) << scripts.at(format);
    FILE* pipe = popen(("python3 " + script + " " + path).c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (pipe) out += pclose(pipe) == 0 ? "" : "(python failed)";
    return out;
}
}  // namespace

TEST(MapDocuments, EachFormatReadsBackByAnIndependentParserAndByOurReader) {
    const std::vector<Place> places = TrickyPlaces();
    const std::string expected =
        "東京駅 \"丸の内\" & <北口>, 1 35.6812463 139.7671005\n中部国際空港 34.8584000 -0.5000000\n";
    TempDir dir;
    for (const std::string format : {"gpx", "kml", "geojson", "csv"}) {
        SCOPED_TRACE(format);
        WriteOptions options;
        options.bom = format == "csv";
        const std::string document = WriteAs(format.c_str(), places, options);
        const std::string path = dir.File("doc." + format);
        WriteFileBytes(path, document);
        std::string names = PythonNames(format, path);
        if (format == "geojson") {  // JSON numbers carry no trailing zeros
            EXPECT_EQ(names, "東京駅 \"丸の内\" & <北口>, 1 35.6812463 139.7671005\n中部国際空港 34.8584 -0.5\n");
        } else {
            EXPECT_EQ(names, expected);
        }
        const MapReadResult back = ReadAs(format.c_str(), document, path);
        ASSERT_EQ(back.places.size(), 2u);
        EXPECT_EQ(back.refused, 0);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(back.places[i].Name(), places[i].Name());
            EXPECT_EQ(back.places[i].Reading(), places[i].Reading());
            EXPECT_EQ(back.places[i].Digits(), places[i].Digits());
            EXPECT_NEAR(back.places[i].latitude, places[i].latitude, 1e-7);
            EXPECT_NEAR(back.places[i].longitude, places[i].longitude, 1e-7);
        }
    }
    const std::string gpx = WriteAs("gpx", {places[0]});
    EXPECT_EQ(gpx.substr(gpx.find("  <wpt")),
              "  <wpt lat=\"35.6812463\" lon=\"139.7671005\">\n"
              "    <name>東京駅 &quot;丸の内&quot; &amp; &lt;北口&gt;, 1</name>\n"
              "    <cmt>ﾄｳｷｮｳｴｷ</cmt>\n    <desc>0312345678</desc>\n    <extensions><quorvel:reading>ﾄｳｷｮｳｴｷ</quorvel:reading>"
              "<quorvel:digits>0312345678</quorvel:digits><quorvel:datumShift>grid</quorvel:datumShift></extensions>\n"
              "  </wpt>\n</gpx>\n");
}

TEST(MapDocuments, GlorieDocumentsOfThisProgramAndOfTheUnitReadBack) {
    const MapReadResult sample =
        ReadAs("glorie", ReadFileBytes(std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/samples/meisho.xml"), "meisho.xml");
    ASSERT_EQ(sample.places.size(), 12u);
    EXPECT_EQ(sample.places[0].Name(), "東京駅");
    EXPECT_EQ(sample.places[0].Reading(), "とうきょうえき");
    EXPECT_EQ(sample.places[7].Name(), "羽田空港T1&T2");
    EXPECT_DOUBLE_EQ(sample.places[0].latitude, 35.67801);

    // The unit writes names as they are, bare & and < included, and may end lines with LF only.
    const std::string unit =
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\n<glorie version=\"1.0\">\n\t<gpoi>\n"
        "\t\t<poi>\n\t\t\t<point>\n\t\t\t\t<pos>\n\t\t\t\t\t<lat>35.5</lat>\n\t\t\t\t\t<lon>139.5</lon>\n"
        "\t\t\t\t</pos>\n\t\t\t</point>\n\t\t\t<name>\n\t\t\t\t<nb>A&B<C</nb>\n\t\t\t</name>\n"
        "\t\t</poi>\n\t</gpoi>\n\t<gpoi>\n\t\t<poi>\n\t\t\t<point>\n\t\t\t\t<pos>\n"
        "\t\t\t\t\t<lat>nan</lat>\n\t\t\t\t\t<lon>139.5</lon>\n\t\t\t\t</pos>\n\t\t\t</point>\n"
        "\t\t</poi>\n\t</gpoi>\n</glorie>\n";
    const MapReadResult byLines = ReadAs("glorie", unit, "unit.xml");
    ASSERT_EQ(byLines.places.size(), 1u);
    EXPECT_EQ(byLines.places[0].Name(), "A&B<C");
    EXPECT_EQ(byLines.refused, 1);
    EXPECT_EQ(Texts(byLines.warnings), (std::vector<std::string>{"unit.xml: 16 行目の地点「」: 座標 (nan, 139.5) が正しくないため変換しません"}));

    try {
        ReadAs("glorie", "<?xml version=\"1.0\"?>\n<glorie>\n<gpoi>\n<oops & />\n", "bad.xml");
        FAIL() << "no error";
    } catch (const MapError& error) {
        EXPECT_EQ(std::string(error.what()).substr(0, 60), std::string("bad.xml: 4 行目は glorie 文書の行ではありません (XML の誤り: 4 行目, ").substr(0, 60));
    }
}

// The unit's writers make each place's record texts as they write it, from its name and reading,
// unless it has a memory point's own; a conversion keeps no record for every place of its input.
TEST(MapDocuments, TheUnitsWritersMakeEachRecordFromTheNameAndReading) {
    const struct {
        const char *name, *reading, *ownName, *ownReading;  // own: null for none
        const char *unitName, *unitReading;
    } cases[] = {
        {"東京駅", "とうきょうえき", nullptr, nullptr, "東京駅", "とうきょうえき"},  // fits: kept as written
        {"とても長い名前の場所でございますよ", "とてもながいなまえのばしょです", nullptr, nullptr, "とても長い名前の",
         "ﾄﾃﾓﾅｶﾞｲﾅﾏｴﾉﾊﾞｼｮﾃ"},  // cut at 16 bytes, the long reading made half-width first
        {"𠮷野家", "", nullptr, nullptr, "?野家", ""},
        {"表の名前", "ひょう", "記録の名前", "ｷﾛｸ", "記録の名前", "ｷﾛｸ"},
        {"x", "", "十七バイトを超える記録", "", "十七バイトを超え", ""},
    };
    std::vector<Place> places;
    for (const auto& c : cases) {
        Place place;
        place.SetName(c.name);
        place.SetReading(c.reading);
        place.latitude = 35.6;
        place.longitude = 139.7;
        if (c.ownName) place.SetRecord({Utf8ToCp932(c.ownName), Utf8ToCp932(c.ownReading)});
        places.push_back(place);
    }
    // A copy is a place of its own.
    Place copy = places[3];
    places[3].SetReading("べつ");
    places[3].ClearRecord();
    EXPECT_EQ(copy.Reading(), "ひょう");
    ASSERT_NE(copy.Record(), nullptr);
    places[3] = copy;
    for (const Format* row : FormatRegistry::All()) {
        if (!row->unit) continue;
        const char* format = row->name;
        const MapReadResult back = ReadAs(format, WriteAs(format, places), "f");
        ASSERT_EQ(back.places.size(), places.size()) << format;
        for (std::size_t i = 0; i < places.size(); ++i) {
            EXPECT_EQ(back.places[i].Name(), cases[i].unitName) << format << " " << i;
            EXPECT_EQ(back.places[i].Reading(), cases[i].unitReading) << format << " " << i;
        }
    }
}
