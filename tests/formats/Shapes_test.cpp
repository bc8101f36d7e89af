// Lines, areas and collections of KML and GeoJSON, KML without its <kml>, KML 2.1 Schema types and
// Zip64 KMZ: every vertex with --all-points, a count of them without.
#include <gtest/gtest.h>

#include "formats/FormatIo.h"
#include "formats/KmzArchive.h"
#include "text/MapError.h"
#include "formats/ZipImage.h"

namespace {
const char kPassed2[] = "f: 線と面の頂点 2 点は読んでいません (--all-points で読みます)\n";

std::string Kml(const std::string& body) { return "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n" + body + "</Document></kml>"; }

TEST(Shapes, VerticesAreReadWithAllPointsAndCountedWithout) {
    const std::string line = "<Placemark><name>道</name><LineString><coordinates>139.1,35.1\n 139.2 , 35.2</coordinates></LineString></Placemark>\n";
    const std::string point = "<Placemark><name>駅</name><Point><coordinates>139.5,35.5</coordinates></Point></Placemark>\n";
    const std::string polygon =
        "<Placemark><name>池</name><Polygon><outerBoundaryIs><LinearRing><coordinates>139,35 139.1,35 139,35.1 139,35"
        "</coordinates></LinearRing></outerBoundaryIs><innerBoundaryIs><LinearRing><coordinates>139.01,35.01</coordinates>"
        "</LinearRing></innerBoundaryIs></Polygon></Placemark>\n";
    const std::string track =
        "<Placemark><name>跡</name><gx:MultiTrack xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><gx:Track><when>t</when>"
        "<gx:coord>139.7 35.7 12</gx:coord></gx:Track><gx:Track><gx:coord>139.8  35.8</gx:coord></gx:Track></gx:MultiTrack></Placemark>\n";
    const std::string geoLines = R"({"type":"FeatureCollection","features":[
{"type":"Feature","geometry":{"type":"MultiLineString","coordinates":[[[139.1,35.1]],[[139.2,35.2]]]},"properties":{"name":"線"}},
{"type":"Feature","geometry":{"type":"Point","coordinates":[139.5,35.5]},"properties":{"name":"駅"}}]})";
    const std::string geoAreas = R"({"type":"MultiPolygon","coordinates":[[[[139,35],[139.1,35]]],[[[140,36]]]]})";
    const std::string collection = R"({"type":"Feature","properties":{"name":"組"},"geometry":{"type":"GeometryCollection","geometries":[
{"type":"Point","coordinates":[139.5,35.5]},{"type":"LineString","coordinates":[[139.1,35.1],[139.2,35.2]]},
{"type":"GeometryCollection","geometries":[{"type":"Polygon","coordinates":[[[140,36]]]}]}]}})";
    const struct {
        const char* format;
        std::string document;
        bool allPoints;
        std::string places, warnings;
    } cases[] = {
        {"kml", Kml(line + point), false, "駅|||35.5000000|139.5000000|4 行目\n", kPassed2},
        {"kml", Kml(line + point), true,
         "道 1|||35.1000000|139.1000000|2 行目\n道 2|||35.2000000|139.2000000|2 行目\n駅|||35.5000000|139.5000000|4 行目\n", ""},
        {"kml", Kml(polygon), true,
         "池 1|||35.0000000|139.0000000|2 行目\n池 2|||35.0000000|139.1000000|2 行目\n池 3|||35.1000000|139.0000000|2 行目\n"
         "池 4|||35.0000000|139.0000000|2 行目\n池 5|||35.0100000|139.0100000|2 行目\n",
         ""},
        {"kml", Kml(track + point), false, "駅|||35.5000000|139.5000000|3 行目\n", kPassed2},
        {"kml", Kml(track), true, "跡 1|||35.7000000|139.7000000|2 行目\n跡 2|||35.8000000|139.8000000|2 行目\n", ""},
        {"geojson", geoLines, false, "駅|||35.5000000|139.5000000|地物 2\n", kPassed2},
        {"geojson", geoLines, true,
         "線 1|||35.1000000|139.1000000|地物 1\n線 2|||35.2000000|139.2000000|地物 1\n駅|||35.5000000|139.5000000|地物 2\n", ""},
        {"geojson", geoAreas, true,
         "地点 1|||35.0000000|139.0000000|地物 1\n地点 2|||35.0000000|139.1000000|地物 1\n"
         "地点 3|||36.0000000|140.0000000|地物 1\n",
         ""},
        {"geojson", collection, false, "組|||35.5000000|139.5000000|地物 1\n",
         "f: 線と面の頂点 3 点は読んでいません (--all-points で読みます)\n"},
        {"geojson", collection, true,
         "組 1|||35.5000000|139.5000000|地物 1\n組 2|||35.1000000|139.1000000|地物 1\n組 3|||35.2000000|139.2000000|地物 1\n"
         "組 4|||36.0000000|140.0000000|地物 1\n",
         ""},
        {"geojson", R"({"type":"GeometryCollection","geometries":[{"type":"MultiPoint","coordinates":[[139.5,35.5]]}]})", false,
         "地点 1|||35.5000000|139.5000000|地物 1\n", ""},
        // KML without <kml>, and KML 2.1's Schema types.
        {"kml", point, false, "駅|||35.5000000|139.5000000|1 行目\n", ""},
        {"kml", "<Folder>\n" + point + "</Folder>", false, "駅|||35.5000000|139.5000000|2 行目\n", ""},
        {"kml",
         "<kml xmlns=\"http://earth.google.com/kml/2.1\"><Document><Schema name=\"Shop\" parent=\"Placemark\">"
         "<SimpleField name=\"kind\" type=\"string\"/></Schema>\n<Shop><name>店</name><kind>a</kind>"
         "<Point><coordinates>139.5,35.5</coordinates></Point></Shop>\n<Other><name>no</name><Point><coordinates>1,2</coordinates>"
         "</Point></Other></Document></kml>",
         false, "店|||35.5000000|139.5000000|2 行目\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document.substr(0, 120));
        ReadOptions options;
        options.allPoints = c.allPoints;
        const MapReadResult result = ReadAs(c.format, c.document, "f", options);
        EXPECT_EQ(Summary(result), c.places);
        EXPECT_EQ(Joined(result.warnings), c.warnings);
        EXPECT_EQ(result.refused, 0);
    }
}

TEST(Shapes, AnEmptyCollectionIsAFeatureWithoutAPosition) {
    const MapReadResult result = ReadAs("geojson", R"({"type":"FeatureCollection","features":[
{"type":"Feature","geometry":{"type":"GeometryCollection","geometries":[]},"properties":{"name":"空"}},
{"type":"Feature","geometry":{"type":"Point","coordinates":[139.5,35.5]},"properties":{"name":"駅"}}]})",
                                        "f");
    EXPECT_EQ(Summary(result), "駅|||35.5000000|139.5000000|地物 2\n");
    EXPECT_EQ(Joined(result.warnings), "f: 地物 1: 緯度・経度がありません。この地点は読みません\n");
    EXPECT_EQ(result.refused, 1);
}

// A 511-byte doc.kml whose sizes only its local header's Zip64 field holds.
TEST(Shapes, Zip64KmzIsReadByItsEntrysRealSize) {
    std::string kml = Kml("<Placemark><name>駅</name><Point><coordinates>139.5,35.5</coordinates></Point></Placemark>\n");
    kml += "<!--" + std::string(511 - kml.size() - 7, 'x') + "-->";
    ASSERT_EQ(kml.size(), 511u);
    ZipEntry entry{"doc.kml", kml, 0, 0, true};
    EXPECT_EQ(Summary(ReadAs("kmz", ZipImage({entry, {"icon.png", "png"}}), "f")), "駅|||35.5000000|139.5000000|2 行目\n");
    // The same with a wrong CRC (a byte changed after it was made): broken, not over 32 MB.
    std::string broken = ZipImage({entry});
    broken[broken.find("139.5")] = '8';
    try {
        ReadAs("kmz", broken, "f");
        ADD_FAILURE() << "read";
    } catch (const MapError& error) {
        EXPECT_STREQ(error.what(), "f: KMZ の中の doc.kml が壊れています");
    }
}
}  // namespace
