// Every row of the format table: what its writer makes reads back as the same places, is known
// by its name and its content, and the fuzz build's list of rows is the table's.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/FormatIo.h"
#include "text/MapError.h"

namespace {
Place MakePlace(const char* name, const char* reading, const char* digits, double latitude, double longitude) {
    Place place;
    place.SetName(name);
    place.SetReading(reading);
    place.SetDigits(digits);
    place.latitude = latitude;
    place.longitude = longitude;
    return place;
}

// Places every format holds whole: names and readings within the unit's 16 bytes, markup and
// separators in a name, a place without reading or digits.
std::vector<Place> Places() {
    return {MakePlace("東京駅", "とうきょうえき", "0312345678", 35.6812362, 139.7671248),
            MakePlace("A&B <C> \"D\", 'E'", "ｴｰﾋﾞｰ", "", 34.7024854, 135.4959506),
            MakePlace("宮古島", "", "", 24.8054321, 125.2812345)};
}

std::string NameOf(const testing::TestParamInfo<const Format*>& info) { return info.param->name; }

class FormatTable : public testing::TestWithParam<const Format*> {};

TEST_P(FormatTable, WrittenPlacesReadBackTheSame) {
    const Format& format = *GetParam();
    const std::vector<Place> places = Places();
    const std::string document = WriteAs(format.name, places);
    const std::string fileName = std::string("back") + format.extensions[0];
    const MapReadResult back = ReadAs(format.name, document, fileName);
    EXPECT_EQ(back.refused, 0);
    EXPECT_EQ(Joined(back.warnings), "");
    ASSERT_EQ(back.places.size(), places.size());
    // The unit's files hold thousandths of a second or five decimals; the maps' seven.
    const double tolerance = format.unit ? 6e-6 : 1e-7;
    for (std::size_t i = 0; i < places.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back.places[i].Name(), places[i].Name());
        EXPECT_EQ(back.places[i].Reading(), places[i].Reading());
        // Digits come back where the document holds them (a glorie document has no field for them).
        if (!back.places[i].Digits().empty() || document.find("0312345678") != std::string::npos) {
            EXPECT_EQ(back.places[i].Digits(), places[i].Digits());
        }
        EXPECT_NEAR(back.places[i].latitude, places[i].latitude, tolerance);
        EXPECT_NEAR(back.places[i].longitude, places[i].longitude, tolerance);
    }
    // Named as it writes them, and known by its content alone (standard input).
    EXPECT_EQ(FormatRegistry::ForPath("dir/OUT" + std::string(format.extensions[0])), &format);
    EXPECT_EQ(FormatRegistry::ForContent(document), &format);
    EXPECT_EQ(FormatRegistry::FindWord(std::string(format.extensions[0] + 1)), &format);
}

INSTANTIATE_TEST_SUITE_P(Every, FormatTable, testing::ValuesIn(FormatRegistry::All()), NameOf);

// An XML document is what its extension names, and where none does (standard input, .txt, no
// extension) what its first element is: a comment, a declaration, a byte-order mark or blank
// lines before it, a link in a comment included, never make it a list of links.
class XmlPrologue : public FormatTable {};

TEST_P(XmlPrologue, RootDecidesWhateverComesBeforeIt) {
    const Format& format = *GetParam();
    const std::string document = WriteAs(format.name, Places());
    const std::size_t declared = document.find("?>") + 2;
    const std::string declaration = document.substr(0, declared), body = document.substr(declared);
    const std::string bom = "\xEF\xBB\xBF", link = "<!-- https://developers.google.com/kml/documentation/ -->\n";
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"BOM, declaration, a link in a comment", bom + declaration + link + body},
        {"blank lines and comments without a declaration",
         "\n\r\n  \n<!--\ngeo:35.1,139.1\nhttps://www.google.com/maps/@35.68,139.76,17z\n-->\n\n" + link + body},
        {"declaration, instruction, DOCTYPE", declaration + "<?xml-stylesheet href=\"a.xsl\"?>\n<!DOCTYPE r [ <!ENTITY a \"b\"> ]>\n" + body},
        {"BOM, blank lines, a link in a comment", bom + "\n  \n" + link + body},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& name : {std::string("p") + format.extensions[0], std::string("p.txt"), std::string("p")})
            EXPECT_EQ(FormatRegistry::ForInput(name, c.bytes), &format) << name;
        EXPECT_EQ(FormatRegistry::ForContent(c.bytes), &format);
        try {
            const MapReadResult read = ReadAs(format.name, c.bytes, "p");
            EXPECT_EQ(Joined(read.warnings), "");
            EXPECT_EQ(read.places.size(), 3u);
        } catch (const MapError& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Xml, XmlPrologue,
                         testing::Values(FormatRegistry::Find("glorie"), FormatRegistry::Find("gpx"), FormatRegistry::Find("kml")), NameOf);

// The fuzz build makes one harness a row of Formats.inc by its name: the names must be the rows'.
TEST(FormatTableList, NamesTheRowsInTheTablesOrder) {
    const std::vector<std::string> listed = {
#define QUORVEL_FORMAT(name, row) #name,
#include "formats/Formats.inc"
#undef QUORVEL_FORMAT
    };
    std::vector<std::string> table;
    for (const Format* format : FormatRegistry::All()) table.emplace_back(format->name);
    EXPECT_EQ(listed, table);
}

// The lists --help and the page's hint make of the table, as they read.
TEST(FormatTableList, NamesWhatIsReadAndTheOtherWords) {
    std::string inputs;
    for (const Format* format : FormatRegistry::All()) inputs += (inputs.empty() ? "" : "、") + FormatRegistry::InputTitle(*format);
    EXPECT_EQ(inputs, "glorie 文書 (.xml)、メモリーポイントファイル (.mem)、GPX、KML、KMZ、GeoJSON (.geojson, .json)、CSV");
    EXPECT_EQ(FormatRegistry::OtherWords(", "), "xml, json, tsv, txt");
    EXPECT_EQ(FormatRegistry::BomTitles("、"), "CSV");
}
}  // namespace
