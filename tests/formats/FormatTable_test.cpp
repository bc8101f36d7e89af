// Every row of the format table: what its writer makes reads back as the same places, is known
// by its name and its content, and the fuzz build's list of rows is the table's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
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
    for (const Format* format : FormatRegistry::Rows()) table.emplace_back(format->name);
    EXPECT_EQ(listed, table);
}

// Every row as it declares itself, and what each of its options sets: a field left unset, an
// option wired to the wrong setting or declared by the wrong row is caught here.
TEST(FormatTableRows, EachRowDeclaresItselfWhole) {
    const struct {
        const char* name;
        const char* title;
        const char* englishTitle;  // null: none
        std::string extensions;    // the written ones, then "|" and those only read
        FormatDatum datum;
        bool unit;
        int pointsPerFile;
        bool recognises, writes, batches;
        std::string options;  // words, in order
    } rows[] = {
        {"glorie", "glorie 文書", "glorie documents", ".xml|", FormatDatum::tokyo, true, 700, true, true, false, ""},
        {"mem", "メモリーポイントファイル", "Memory-point files", ".mem|", FormatDatum::tokyo, true, 100, false, true, false, ""},
        {"gpx", "GPX", nullptr, ".gpx|", FormatDatum::wgs84, false, 0, false, true, false, "--all-points"},
        {"kml", "KML", nullptr, ".kml|", FormatDatum::wgs84, false, 0, false, true, false, "--all-points"},
        {"kmz", "KMZ", nullptr, ".kmz|", FormatDatum::wgs84, false, 0, false, true, false, "--all-points"},
        {"geojson", "GeoJSON", nullptr, ".geojson .json|", FormatDatum::wgs84, false, 0, false, true, false, "--all-points"},
        {"csv", "CSV", nullptr, ".csv|.tsv .txt", FormatDatum::wgs84, false, 0, false, true, true, "--bom"},
        {"links", "地図のリンクの一覧", "lists of map links", "|", FormatDatum::wgs84, false, 0, true, false, false, ""},
    };
    const std::vector<const Format*>& table = FormatRegistry::Rows();
    ASSERT_EQ(table.size(), std::size(rows));
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Format& format = *table[i];
        const auto& row = rows[i];
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(format.name, row.name);
        EXPECT_STREQ(format.title, row.title);
        EXPECT_EQ(format.englishTitle ? std::string(format.englishTitle) : "", row.englishTitle ? row.englishTitle : "");
        std::string extensions, options;
        for (const char* extension : format.extensions)
            if (extension) extensions += (extensions.empty() ? "" : " ") + std::string(extension);
        extensions += "|";
        for (const char* extension : format.inputExtensions)
            if (extension) extensions += (extensions.back() == '|' ? "" : " ") + std::string(extension);
        EXPECT_EQ(extensions, row.extensions);
        EXPECT_EQ(format.datum, row.datum);
        EXPECT_EQ(format.unit, row.unit);
        EXPECT_EQ(format.pointsPerFile, row.pointsPerFile);
        EXPECT_EQ(format.recognise != nullptr, row.recognises);
        EXPECT_NE(format.read, nullptr);
        EXPECT_EQ(format.write != nullptr, row.writes);
        EXPECT_EQ(format.openBatches != nullptr, row.batches);
        for (const FormatOption* option : format.options)
            if (option) options += (options.empty() ? "" : " ") + std::string(option->word);
        EXPECT_EQ(options, row.options);
        // Written formats and those only read, each in its list.
        const auto& list = row.writes ? FormatRegistry::All() : FormatRegistry::InputOnly();
        EXPECT_NE(std::find(list.begin(), list.end(), &format), list.end());
        EXPECT_EQ(FormatRegistry::Find(row.name), row.writes ? &format : nullptr);
        EXPECT_EQ(FormatRegistry::FindRow(row.name), &format);
    }
}

TEST(FormatTableRows, EachOptionSetsItsOwnSettingAlone) {
    const struct {
        const char* word;
        FormatOptionUse use;
        bool allPoints, bom;  // what applying it sets
        const char* titles;   // the rows declaring it
        const char* japanese;
        const char* english;
    } options[] = {
        {"--all-points", FormatOptionUse::read, true, false, "GPX、KML、KMZ、GeoJSON",
         "GPX のルートとトラック、KML と GeoJSON の線と面の頂点も読みます",
         "Also read the vertices of GPX routes and tracks and of KML and GeoJSON lines and areas"},
        {"--bom", FormatOptionUse::write, false, true, "CSV", "CSV の先頭に BOM を付けます",
         "Byte-order mark at the start of a CSV (for spreadsheets)"},
    };
    const std::vector<const FormatOption*>& declared = FormatRegistry::Options();
    ASSERT_EQ(declared.size(), std::size(options));
    for (std::size_t i = 0; i < declared.size(); ++i) {
        const FormatOption& option = *declared[i];
        const auto& expected = options[i];
        SCOPED_TRACE(expected.word);
        EXPECT_STREQ(option.word, expected.word);
        EXPECT_EQ(option.use, expected.use);
        EXPECT_EQ(option.type, FormatOptionType::flag);
        EXPECT_STREQ(option.japanese, expected.japanese);
        EXPECT_STREQ(option.english, expected.english);
        EXPECT_EQ(FormatRegistry::OptionTitles(option, "、"), expected.titles);
        ReadOptions read;
        WriteOptions write;
        option.apply(read, write, 1);
        EXPECT_EQ(read.allPoints, expected.allPoints);
        EXPECT_EQ(write.bom, expected.bom);
        EXPECT_FALSE(read.plainWords || read.eachPoint || read.asStored || write.guessMarks);
        option.apply(read, write, 0);
        EXPECT_FALSE(read.allPoints || write.bom);
    }
}

// A value as each type of option takes it on the command line; no row declares a number or a
// choice yet, so options of those types are made here.
TEST(FormatTableRows, ValuesByTheOptionsType) {
    FormatOption number, choice, flag;
    number.type = FormatOptionType::number;
    number.minimum = -5;
    number.maximum = 1000;
    choice.type = FormatOptionType::choice;
    choice.choices[0] = "short";
    choice.choices[1] = "long";
    const struct {
        const FormatOption* option;
        const char* text;
        bool usable;
        int value;
    } cases[] = {
        {&number, "0", true, 0},
        {&number, "1000", true, 1000},
        {&number, "-5", true, -5},
        {&number, "007", true, 7},
        {&number, "1001", false, 0},
        {&number, "-6", false, 0},
        {&number, "", false, 0},
        {&number, "-", false, 0},
        {&number, "+5", false, 0},
        {&number, " 5", false, 0},
        {&number, "5x", false, 0},
        {&number, "1e3", false, 0},
        {&number, "9999999999", false, 0},
        {&choice, "short", true, 0},
        {&choice, "long", true, 1},
        {&choice, "Long", false, 0},
        {&choice, "", false, 0},
        {&choice, "longer", false, 0},
        {&flag, "", true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int value = 0;
        EXPECT_EQ(FormatRegistry::OptionValue(*c.option, c.text, value), c.usable);
        if (c.usable) {
            EXPECT_EQ(value, c.value);
        }
    }
}

// The lists --help and the page's hint make of the table, as they read.
TEST(FormatTableList, NamesWhatIsReadAndTheOtherWords) {
    std::string inputs;
    for (const Format* format : FormatRegistry::All()) inputs += (inputs.empty() ? "" : "、") + FormatRegistry::InputTitle(*format);
    EXPECT_EQ(inputs, "glorie 文書 (.xml)、メモリーポイントファイル (.mem)、GPX、KML、KMZ、GeoJSON (.geojson, .json)、CSV");
    inputs.clear();
    for (const Format* format : FormatRegistry::Rows()) inputs += (inputs.empty() ? "" : ", ") + FormatRegistry::InputTitle(*format, true);
    EXPECT_EQ(inputs, "glorie documents (.xml), Memory-point files (.mem), GPX, KML, KMZ, GeoJSON (.geojson, .json), CSV, lists of map links");
    EXPECT_EQ(FormatRegistry::OtherWords(", "), "xml, json, tsv, txt");
    EXPECT_EQ(FormatRegistry::BomTitles("、"), "CSV");
}
}  // namespace
