// Writes the seed corpora of the fuzz harnesses: quorvel-fuzz-seeds <corpus folder>, which gets
// one sub-folder a harness. Every seed is made here, by our own image builder and our own writers;
// an input with which a harness found a fault is kept beside them (glorie/coordinate-not-cp932).
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "text/Cp932Text.h"
#include "formats/FormatRegistry.h"
#include "formats/UnitFields.h"
#include "mempoint/CMemPointStore.h"
#include "platform/CSaveFile.h"
#include "formats/ZipImage.h"
#include "support/MemImage.h"
#include "support/MemoryCalls.h"

namespace {
bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string Dms(std::uint32_t seconds, std::uint8_t fraction) {
    char text[16];
    CMemPointStore::FormatDms(text, seconds * 256u + fraction);
    return text;
}

std::vector<std::pair<std::string, std::string>> ConvertSeeds() {
    std::vector<std::pair<std::string, std::string>> seeds;
    seeds.emplace_back("empty", MemImage().Bytes());
    MemImage one;
    one.Use(0).Name(0, "\x93\x8c\x8b\x9e\x89\x77").Latitude(0, MemImage::Seconds(35, 40, 52), 128).Longitude(0, MemImage::Seconds(139, 46, 1), 37).Digits(0, "0312345678");
    seeds.emplace_back("one-point", one.Bytes());
    MemImage marks;
    marks.Use(0).Name(0, "A&B<C>\"D'").Reading(0, "\x82\xa0&amp;").Use(1).Name(1, "ABCDEFGHIJKLMNO\x82").Reading(1, "abc\x82").Use(2).Name(2, "\xb1\xb2\xb3 \x81\x5c\x95\x5c").LongitudeBytes(2, 0xFF, 0xFF, 0xFF, 0xFF);
    seeds.emplace_back("markup-and-lead-bytes", marks.Bytes());
    MemImage full;
    for (int i = 0; i < 100; ++i) {
        full.Use(i).Name(i, "\x83\x7c\x83\x43\x83\x93\x83\x67" + std::to_string(i)).Reading(i, "\xce\xdf\xb2\xdd\xc4" + std::to_string(i)).Latitude(i, MemImage::Seconds(20 + i % 27, i % 60, (i * 7) % 60), static_cast<std::uint8_t>(i * 5)).Longitude(i, MemImage::Seconds(122 + i % 33, (i * 3) % 60, i % 60), static_cast<std::uint8_t>(i * 11)).Digits(i, std::to_string(1000000000 + i * 7919));
    }
    seeds.emplace_back("hundred-points", full.Bytes());
    MemImage gap;
    gap.Use(0).Name(0, "first").Use(2).Name(2, "after a gap");
    seeds.emplace_back("gap", gap.Bytes());
    seeds.emplace_back("short", MemImage().Bytes().substr(0, 10803));
    seeds.emplace_back("long", MemImage().Bytes() + '\0');
    return seeds;
}

std::vector<std::pair<std::string, std::string>> DmsSeeds() {
    return {
        {"longitude", Dms(MemImage::Seconds(139, 46, 44), 10)},
        {"latitude", Dms(MemImage::Seconds(35, 39, 29), 40)},
        {"zero", Dms(0, 0)},
        {"largest", Dms(0xFFFFFF, 0xFF)},
        {"joined", "139.46.44040"},
        {"long-fourth", " 35.40.59.1020"},
        {"sixty", " 35.40.60.000"},
        {"apostrophes", "139'46'44.040"},
        {"signs", "-139.+46.-44.-40"},
        {"overflow", "99999999999.99999999999.9999999999"},
        {"carry", "  9.59.59.999"},
        {"empty", ""},
    };
}

std::vector<std::pair<std::string, std::string>> PathSeeds() {
    return {
        {"plain", std::string("work") + '\0' + "C:\\data\\route.Mem"},
        {"relative", "route.mem"},
        {"folder-with-dot", "C:\\data.mem\\route"},
        {"double-extension", "C:\\data\\route.mem.bak"},
        {"cp932-folder", std::string("home") + '\0' + "D:\\\x95\x5c\\trip.mem"},
        {"command-line", std::string("work") + '\0' + "\"C:\\My Files\\trip.mem\" /x,\t\n"},
        {"long-name", std::string(300, 'a') + '\0' + std::string(250, 'b') + "\\" + std::string(250, 'c') + ".mem"},
        {"slashes", "/a/b/c/.mem"},
        {"drive-only", "C:"},
    };
}

// Map documents: ordinary ones as our writers make them, the shapes other programs write, and
// inputs deeper and longer than libFuzzer's default 4 KB.
using Seeds = std::vector<std::pair<std::string, std::string>>;

Place MakePlace(const std::string& name, const std::string& reading, const std::string& digits, double latitude,
                double longitude) {
    Place place;
    place.SetName(name);
    place.SetReading(reading);
    place.SetDigits(digits);
    place.latitude = latitude;
    place.longitude = longitude;
    place.SetMethod(DatumMethod::grid);
    place.SetRecord(RecordText{CutUnitField(Utf8ToCp932(name)), CutUnitField(Utf8ToCp932(reading))});
    return place;
}

std::vector<Place> OrdinaryPlaces() {
    return {MakePlace("東京駅", "とうきょうえき", "0312345678", 35.6812362, 139.7671248),
            MakePlace("A&B <C> \"D\" 'E'", "", "", 34.7024854, 135.4959506),
            MakePlace("café ♨ 𠮷野家, \"quoted\"", "ｶﾌｪ", "0120000000", 43.0686606, 141.3507552),
            MakePlace("南の島", "みなみのしま", "", 24.3448, 124.1572)};
}

std::vector<Place> ManyPlaces(int count) {
    std::vector<Place> places;
    for (int i = 0; i < count; ++i)
        places.push_back(MakePlace("地点" + std::to_string(i), "ちてん", std::to_string(300000000 + i * 37),
                                   24 + (i % 2000) * 0.011, 123 + (i % 1700) * 0.013));
    return places;
}

// The places as the format's writer makes them, through the file layer in memory.
std::string Written(const char* formatName, const std::vector<Place>& places) {
    const Format& format = *FormatRegistry::Find(formatName);
    MemoryCalls calls("/mem");
    CSaveFile file;
    if (!file.Open("/mem/seed")) return {};
    WritePlaces(format, file, places.data(), places.size(), WriteOptions{});
    file.Commit();
    return calls.File("/mem/seed");
}

std::string Repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

Seeds MapSeeds(const char* format) {
    const std::string longName(100 * 1024, 'n');
    std::vector<Place> longPlace = {MakePlace(std::string(format) == "gpx" ? longName : longName.substr(0, 10 * 1024),
                                              "ながい", "", 35, 139)};
    Seeds seeds = {{"ordinary", Written(format, OrdinaryPlaces())},
                   {"many", Written(format, ManyPlaces(100))},
                   {"long-name", Written(format, longPlace)}};
    const std::string f = format;
    if (f == "gpx") {
        seeds.emplace_back("routes-tracks-1.0",
                           "<?xml version=\"1.0\"?>\n<g:gpx version=\"1.0\" xmlns:g=\"http://www.topografix.com/GPX/1/0\">\n"
                           "<g:wpt lat=\" 35.5 \" lon=\"+139.25\"><g:name><![CDATA[a<b]]>&amp;c</g:name><g:cmt>かな</g:cmt>"
                           "<g:desc>(03) 1234-5678</g:desc></g:wpt>\n<g:wpt lat=\"91\" lon=\"0\"/><g:wpt/>\n"
                           "<g:rte><g:rtept lat=\"1e1\" lon=\"-0.5\"><g:name>r</g:name></g:rtept></g:rte>\n"
                           "<g:trk><g:trkseg><g:trkpt lat=\"-90\" lon=\"180\"/><g:trkpt lat=\"nan\" lon=\"inf\"/></g:trkseg></g:trk>\n"
                           "</g:gpx>\n");
        std::string utf16 = "\xFF\xFE";
        for (const char c : std::string("<gpx><wpt lat=\"1\" lon=\"2\"><name>&#xD800;&#x1F600;</name></wpt></gpx>"))
            utf16 += std::string(1, c) + '\0';
        seeds.emplace_back("utf16", utf16);
        seeds.emplace_back("deep-extensions", "<gpx><wpt lat=\"1\" lon=\"2\">" + Repeat("<e>", 1000) + Repeat("</e>", 1000) +
                                                  "</wpt></gpx>");
        // Nested deeper than the stack once took when a read part was freed.
        seeds.emplace_back("metadata-40000-deep", "<gpx><metadata>" + Repeat("<a>", 40000) + Repeat("</a>", 40000) +
                                                      "</metadata><wpt lat=\"1\" lon=\"2\"><name>n</name></wpt></gpx>");
        seeds.emplace_back("name-40000-deep", "<gpx><wpt lat=\"1\" lon=\"2\"><name>n" + Repeat("<b>", 40000) +
                                                  Repeat("</b>", 40000) + "</name></wpt></gpx>");
    } else if (f == "kmz") {
        // Archives whose entries come in any order, with names of any length and kind, and
        // compressed or encrypted as this reader does not read.
        const std::string kml = Written("kml", OrdinaryPlaces());
        seeds.emplace_back("first-of-two", ZipImage({{"first.kml", kml}, {"second.kml", Written("kml", ManyPlaces(3))}}));
        seeds.emplace_back("kml-then-icon", ZipImage({{"tokyo.kml", kml}, {"files/icon.png", "\x89PNG\r\n"}}));
        seeds.emplace_back("name-1025", ZipImage({{std::string(1021, 'n') + ".kml", kml}}));
        seeds.emplace_back("hostile-name", ZipImage({{"\x1b]0;t\x07\xe2\x80\xae"
                                                      "lmk.kml",
                                                      kml, 12}}));
        seeds.emplace_back("lzma", ZipImage({{"doc.kml", kml, 14}}));
        seeds.emplace_back("encrypted", ZipImage({{"doc.kml", kml, 8, 1}}));
    } else if (f == "kml") {
        seeds.emplace_back("folders-1000-deep",
                           "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>" + Repeat("<Folder>", 1000) +
                               "<Placemark><name>底</name><Point><coordinates> 139.5 , 35.25 ,10 </coordinates></Point>"
                               "</Placemark>" +
                               Repeat("</Folder>", 1000) + "</Document></kml>\n");
        seeds.emplace_back("multigeometry",
                           "<kml><Placemark><name>二つ</name><ExtendedData><SchemaData><SimpleData name=\"reading\">ふたつ"
                           "</SimpleData><SimpleData name=\"digits\">+81-3-0000</SimpleData></SchemaData></ExtendedData>"
                           "<MultiGeometry><Point><coordinates>1,2</coordinates></Point><MultiGeometry><Point>"
                           "<coordinates>3,4 5,6</coordinates></Point></MultiGeometry><LineString><coordinates>7,8"
                           "</coordinates></LineString></MultiGeometry></Placemark><Placemark><Point/></Placemark></kml>");
    } else if (f == "geojson") {
        const std::string feature = "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[139.1,35.2]},";
        seeds.emplace_back("arrays-10000-deep", "{\"type\":\"FeatureCollection\",\"features\":[" + feature +
                                                    "\"properties\":{\"name\":\"a\",\"digits\":" + Repeat("[", 10000) +
                                                    Repeat("]", 10000) + "}}]}");
        seeds.emplace_back("objects-10000-deep", "{\"type\":\"FeatureCollection\",\"deep\":" + Repeat("{\"a\":", 10000) +
                                                     "1" + Repeat("}", 10000) + ",\"features\":[" + feature +
                                                     "\"properties\":null}]}");
        seeds.emplace_back("saved-places",
                           "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"geometry\":{\"type\":"
                           "\"Point\",\"coordinates\":[0,0]},\"properties\":{\"Title\":\"店\",\"Location\":{\"Business Name\":"
                           "\"店名\",\"Geo Coordinates\":{\"Latitude\":\"35.5\",\"Longitude\":\"139.7\"}}}},{\"type\":\"Feature\","
                           "\"geometry\":{\"type\":\"MultiPoint\",\"coordinates\":[[1,2],[3],\"x\",[1e400,2]]},\"properties\":"
                           "{\"location\":{\"name\":\"\\ud83d\\ude00\"},\"digits\":12}}]}");
        seeds.emplace_back("single-feature", feature + "\"properties\":{\"name\":\"one\"}}");
    } else if (f == "csv") {
        seeds.emplace_back("tabs-quotes-bom",
                           "\xEF\xBB\xBF名称\t緯度\t経度\t電話\r\n\"a\t\"\"b\"\"\r\nc\"\t 35.5 \t+139.5\t03-1234\r\n"
                           "\t\t\t\r\nx\t91\t0\tphone\n\"open");
        seeds.emplace_back("columns", "LAT,Lng,title,reading,tel,extra\n1,2,a,よみ,(0)1,z\n,,,,\n3,,b\n-90,-180\n");
    } else if (f == "glorie") {
        // The unit writes names with bare & and <, in CP932, line by line.
        seeds.emplace_back("bare-markup",
                           "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<glorie>\r\n<gpoi>\r\n<poi>\r\n<name>\r\n"
                           "<nb>A&B<C \x93\x8c\x8b\x9e</nb>\r\n<rt>\xb1\xb2</rt>\r\n</name>\r\n<point>\r\n<pos>\r\n"
                           "<lat>35.40523</lat>\r\n<lon>139.46440</lon>\r\n</pos>\r\n</point>\r\n</poi>\r\n</gpoi>\r\n"
                           "<gpoi>\r\n<poi>\r\n<name>\r\n<nb>\x82</nb>\r\n</name>\r\n<point>\r\n<pos>\r\n"
                           "<lat>-1</lat>\r\n<lon>x</lon>\r\n</pos>\r\n</point>\r\n</poi>\r\n</gpoi>\r\n</glorie>\r\n");
    }
    return seeds;
}

// A format only read: lists of map links, one place a line, as people paste them.
Seeds ReadOnlySeeds(const char* format) {
    Seeds seeds;
    if (std::string(format) != "links") return seeds;
    seeds.emplace_back("every-kind",
                       "geo:35.6586,139.7454\n"
                       "geo:0,0?q=34.6873,135.5262(%E5%A4%A7%E9%98%AA%E5%9F%8E)\n"
                       "https://www.google.com/maps/@35.6812,139.7671,17z 東京駅\n"
                       "https://www.google.com/maps/place/%E5%90%8D/@35.1,139.2,15z/data=!3d35.11!4d139.22\n"
                       "https://maps.apple.com/?ll=35.5,139.5&q=Apple\n"
                       "https://www.openstreetmap.org/#map=16/35.7101/139.8107\n"
                       "https://maps.gsi.go.jp/#15/35.360556/138.727778/\n"
                       "35.0, 135.75 京都\n");
    seeds.emplace_back("refused-and-odd",
                       "\xEF\xBB\xBFhttps://goo.gl/maps/abc\r\ngeo:91,0\r\ngeo:35,139?q=%FF%FE\r\n\r\n"
                       "geo:1e400,2\r\nhttps://www.google.com/maps/@-0,-0,3z\r\n");
    seeds.emplace_back("many", [] {
        std::string lines;
        for (int i = 0; i < 200; ++i)
            lines += "geo:" + std::to_string(24 + i * 0.05) + "," + std::to_string(123 + i * 0.07) + " 地点" + std::to_string(i) + "\n";
        return lines;
    }());
    return seeds;
}

bool WriteAll(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& seeds) {
    ::mkdir(folder.c_str(), 0777);
    for (const auto& seed : seeds) {
        if (!Write(folder + "/" + seed.first, seed.second)) return false;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    ::mkdir(root.c_str(), 0777);
    bool ok = WriteAll(root + "/convert", ConvertSeeds()) && WriteAll(root + "/dms", DmsSeeds()) &&
              WriteAll(root + "/path", PathSeeds());
    for (const Format* format : FormatRegistry::Rows())
        ok = ok && WriteAll(root + "/" + format->name, format->write ? MapSeeds(format->name) : ReadOnlySeeds(format->name));
    if (!ok) std::fprintf(stderr, "%s: cannot write the seeds under %s\n", argv[0], root.c_str());
    return ok ? 0 : 1;
}
