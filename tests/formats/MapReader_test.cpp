#include "formats/FormatIo.h"

#include <gtest/gtest.h>

#include "text/MapError.h"

namespace {
TEST(MapReader, ReadsThePlacesOfEachFormat) {
    const struct {
        const char* format;
        bool allPoints;
        std::string document, places, warnings;
        int refused;
    } cases[] = {
        // GPX 1.1 with a prefix: a foreign <cmt> is no reading; digits only in the form our writer gives them.
        {"gpx", false,
         "<?xml version=\"1.0\"?>\n<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\">\n"
         "<g:wpt lat=\"35.681236\" lon=\"139.767125\"><g:name>東京駅</g:name><g:cmt>ﾄｳｷｮｳ ｴｷ</g:cmt>"
         "<g:desc>03-1234-5678</g:desc></g:wpt>\n"
         "<g:wpt lat=\" 34.5 \" lon=\"+135\"><g:ele>3</g:ele><g:name>A &amp; B\n  C</g:name><g:cmt>集合場所</g:cmt>"
         "<g:desc>駐車場あり</g:desc></g:wpt>\n"
         "<g:rte><g:rtept lat=\"1\" lon=\"2\"/></g:rte></g:gpx>",
         "東京駅||0312345678|35.6812360|139.7671250|3 行目\n"
         "A & B C|||34.5000000|135.0000000|4 行目\n",
         "f: 経路と軌跡の 1 点は読んでいません (--all-points で読みます)\n", 0},
        // GPX 1.0, every point in document order; a nameless one named by its number in the file.
        {"gpx", true,
         "<gpx xmlns=\"http://www.topografix.com/GPX/1/0\" version=\"1.0\">\n"
         "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><name><![CDATA[<軌跡>]]></name></trkpt>\n"
         "<trkpt lat=\"3\" lon=\"4\"/></trkseg></trk>\n"
         "<wpt lat=\"-5\" lon=\"-6\"><name>ぽいんと</name><cmt>ぽいんと</cmt></wpt>\n"
         "<rte><rtept lat=\"7\" lon=\"8\"><name> </name></rtept></rte></gpx>",
         "<軌跡>|||1.0000000|2.0000000|2 行目\n地点 2|||3.0000000|4.0000000|3 行目\n"
         "ぽいんと|||-5.0000000|-6.0000000|4 行目\n地点 4|||7.0000000|8.0000000|5 行目\n",
         "", 0},
        // KML: Placemarks at any depth, the points of a MultiGeometry numbered, lines passed over.
        {"kml", false,
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Folder><Folder>\n"
         "<Placemark><name>大阪城</name><ExtendedData><Data name=\"reading\"><value>ｵｵｻｶｼﾞｮｳ</value></Data>"
         "<Data name=\"digits\"><value>(06) 6941-3044</value></Data></ExtendedData>\n"
         "<Point><coordinates>\n   135.5262,34.6873,0  \n</coordinates></Point></Placemark>\n"
         "</Folder></Folder>\n<Placemark><name>線</name><LineString><coordinates>1,2 3,4</coordinates></LineString></Placemark>\n"
         "<Placemark><name>二つ</name><MultiGeometry><Point><coordinates>139, 35</coordinates></Point>\n"
         "<MultiGeometry><Point><coordinates>140,36</coordinates></Point></MultiGeometry></MultiGeometry>"
         "<ExtendedData><Data name=\"digits\"><value>内線</value></Data></ExtendedData></Placemark>\n"
         "</Document></kml>",
         "大阪城|ｵｵｻｶｼﾞｮｳ|0669413044|34.6873000|135.5262000|3 行目\n"
         "二つ 1|||35.0000000|139.0000000|8 行目\n二つ 2|||36.0000000|140.0000000|9 行目\n",
         "f: 8 行目: 電話番号「内線」は数字ではないので使いません\nf: 線と面の頂点 2 点は読んでいません (--all-points で読みます)\n", 0},
        // GeoJSON: names from name, Title or the export's Location, which also holds the coordinates
        // the export leaves at [0, 0].
        {"geojson", false,
         R"({"type":"FeatureCollection","features":[
{"type":"Feature","geometry":{"type":"Point","coordinates":[139.7454,35.6586,5]},
 "properties":{"name":"東京タワー","reading":"ﾄｳｷｮｳﾀﾜｰ","digits":"03-3433-5111"}},
{"type":"Feature","geometry":{"type":"LineString","coordinates":[[1,2],[3,4]]},"properties":{}},
{"type":"Feature","geometry":{"type":"Point","coordinates":[0,0]},
 "properties":{"Title":"","Location":{"Business Name":"金閣寺","Geo Coordinates":{"Latitude":"35.0394","Longitude":"135.7292"}}}},
{"type":"Feature","geometry":{"type":"MultiPoint","coordinates":[[130,33],[131,34]]},"properties":{"Title":"旅"}},
{"type":"Feature","geometry":null,"properties":{"name":"無"}}]})",
         "東京タワー|ﾄｳｷｮｳﾀﾜｰ|0334335111|35.6586000|139.7454000|地物 1\n"
         "金閣寺|||35.0394000|135.7292000|地物 3\n旅 1|||33.0000000|130.0000000|地物 4\n"
         "旅 2|||34.0000000|131.0000000|地物 4\n",
         "f: 地物 5: 緯度・経度がありません。この地点は読みません\nf: 線と面の頂点 2 点は読んでいません (--all-points で読みます)\n", 1},
        {"geojson", false,
         R"({"type":"Feature","geometry":{"type":"Point","coordinates":[1.5,2.5]},"properties":{"location":{"name":"一"}}})",
         "一|||2.5000000|1.5000000|地物 1\n", "", 0},
        // CSV: BOM, CRLF, Japanese headers in any order, quotes with commas, doubled quotes and a
        // line break; blank lines passed over.
        {"csv", false,
         "\xEF\xBB\xBF"
         "名称, 経度 ,緯度,よみ,電話\r\n\"A, \"\"B\"\"\nC\",139.1,35.1,ｴｰ,\r\n\r\n,140,36,,03 1234\r\n",
         "A, \"B\" C|ｴｰ||35.1000000|139.1000000|2 行目\n地点 2||031234|36.0000000|140.0000000|5 行目\n", "", 0},
        {"csv", false, "Name\tLat\tLng\tDigits\n\"x,y\"\t1\t2\text. 9\n",
         "x,y|||1.0000000|2.0000000|2 行目\n", "f: 2 行目: 電話番号「ext. 9」は数字ではないので使いません\n", 0},
        // Points that cannot be used are refused, the others kept.
        {"csv", false, "lat,lon,name\n91,0,a\n0,-180.5,b\nnan,0,c\nx,1,d\n,,e\n-90,180,f\n0\n",
         "f|||-90.0000000|180.0000000|7 行目\n",
         "f: 2 行目: 緯度「91」は -90〜90 の数値ではありません。この地点は読みません\n"
         "f: 3 行目: 経度「-180.5」は -180〜180 の数値ではありません。この地点は読みません\n"
         "f: 4 行目: 緯度「nan」は -90〜90 の数値ではありません。この地点は読みません\n"
         "f: 5 行目: 緯度「x」は -90〜90 の数値ではありません。この地点は読みません\n"
         "f: 6 行目: 緯度・経度がありません。この地点は読みません\n"
         "f: 8 行目: 経度「」は -180〜180 の数値ではありません。この地点は読みません\n",
         6},
        {"gpx", false, "<gpx><wpt lat=\"1e400\" lon=\"0\"/>\n<wpt lat=\"1\"/></gpx>", "",
         "f: 1 行目: 緯度「1e400」は -90〜90 の数値ではありません。この地点は読みません\n"
         "f: 2 行目: 経度「」は -180〜180 の数値ではありません。この地点は読みません\n",
         2},
        // Character references to a surrogate or past U+10FFFF (one U+FFFD each), and CP932 coordinates: shown as UTF-8.
        {"gpx", false, "<gpx><wpt lat=\"&#xD800;\" lon=\"0\"/>\n<wpt lat=\"1\" lon=\"2\"><name>a&#xDFFF;b&#x110000;</name></wpt></gpx>",
         "a\uFFFDb\uFFFD|||1.0000000|2.0000000|2 行目\n",
         "f: 1 行目: 緯度「\uFFFD」は -90〜90 の数値ではありません。この地点は読みません\n", 1},
        {"glorie", false, "<glorie>\n<gpoi><poi><name><nb>A</nb></name><point><pos><lat>\x93\x8c</lat><lon>139</lon></pos></point></poi></gpoi>\n</glorie>",
         "", "f: 2 行目の地点「A」: 座標 (東, 139) が正しくないため変換しません\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        ReadOptions options;
        options.allPoints = c.allPoints;
        const MapReadResult result = ReadAs(c.format, c.document, "f", options);
        EXPECT_EQ(Summary(result), c.places);
        EXPECT_EQ(Joined(result.warnings), c.warnings);
        EXPECT_EQ(result.refused, c.refused);
    }
}

TEST(MapReader, RefusesDocumentsItCannotRead) {
    const struct {
        const char* format;
        std::string document, message;
    } cases[] = {
        {"gpx", "<gpx>\n<wpt lat=\"1\" lon=\"2\">\n</gpx>", "f.gpx: 3 行目: XML として読めません（開始タグと終了タグが対応していません）"},
        {"kml", "<kml>\n<Placemark name=x>", "f.gpx: 2 行目: XML として読めません（属性が正しくありません）"},
        {"gpx", "", "f.gpx: 1 行目: XML として読めません（要素がありません）"},
        {"gpx", "<kml/>", "f.gpx: GPX の文書ではありません（最上位の要素が <kml>）"},
        {"kml", "<?xml version=\"1.0\" encoding=\"x\xff\"?><kml/>", "f.gpx: 1 行目: 文字コード「x\uFFFD」は読めません（UTF-8 で保存し直してください）"},
        {"kml", "<gpx:gpx xmlns:gpx=\"x\"/>", "f.gpx: KML の文書ではありません（最上位の要素が <gpx:gpx>）"},
        {"gpx", "<gpx>\n<name>\x93\x8c</name></gpx>", "f.gpx: 2 行目: UTF-8 として読めない文字があります（UTF-8 で保存し直してください）"},
        {"gpx", "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>",
         "f.gpx に地点がありません（経路と軌跡の 2 点は --all-points で読みます）"},
        {"kml", "<kml><Placemark><name>線</name><LineString/></Placemark></kml>", "f.gpx に地点がありません"},
        {"kml", "<kml><Placemark><name>線</name><LineString><coordinates>1,2 3,4</coordinates></LineString></Placemark></kml>",
         "f.gpx に地点がありません（線と面の頂点 2 点は --all-points で読みます）"},
        {"geojson", "{\"type\":\"FeatureCollection\",\n\"features\":[\n{\"type\":}]}", "f.gpx: 3 行目: JSON として読めません"},
        {"geojson", "{\"type\":\"FeatureCollection\",\"features\":[]}", "f.gpx に地点がありません"},
        {"geojson", "[1,2]", "f.gpx: GeoJSON の FeatureCollection でも Feature でも Point でもありません"},
        {"csv", "name,x,y\nA,1,2\n",
         "f.gpx: 1 行目: 緯度と経度の列がありません（見出しに lat・latitude・緯度 と lon・lng・longitude・経度 のどれかが要ります）"},
        {"csv", "lat,lon\n1,2\n3,\"4\n5,6\n", "f.gpx: 3 行目: 引用符が閉じていません"},
        {"csv", "lat,lon\n\n", "f.gpx に地点がありません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document.substr(0, 80));
        try {
            ReadAs(c.format, c.document, "f.gpx");
            ADD_FAILURE() << "no MapError";
        } catch (const MapError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}
}  // namespace
