// quorvel-make-big-gpx COUNT OUTPUT.gpx
// A GPX 1.1 file of COUNT waypoints in and around Japan, in the form our own writer gives them
// (name, reading in <cmt>, digits in <desc>): for benchmarks of the map readers and the converter.
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvel-make-big-gpx COUNT OUTPUT.gpx\n");
        return 2;
    }
    char* end = nullptr;
    const long count = std::strtol(argv[1], &end, 10);
    if (*end != '\0' || count < 0) {
        std::fprintf(stderr, "%s: not a count\n", argv[1]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::fputs(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"quorvel\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n",
        out);
    // Names, readings and digits vary with the index; the points step over 24 to 46 N, 123 to 146 E.
    static const char* const kNames[] = {"東京駅", "大阪城 天守閣", "道の駅 &amp; 温泉", "Café Kyoto", "名古屋港水族館"};
    static const char* const kReadings[] = {"ﾄｳｷｮｳｴｷ", "ｵｵｻｶｼﾞｮｳ ﾃﾝｼｭｶｸ", "ﾐﾁﾉｴｷ ｵﾝｾﾝ", "ｶﾌｪ ｷｮｳﾄ", "ﾅｺﾞﾔｺｳｽｲｿﾞｸｶﾝ"};
    for (long i = 0; i < count; ++i) {
        const double latitude = 24.0 + static_cast<double>(i % 22000) / 1000.0 + static_cast<double>(i % 7) * 1e-7;
        const double longitude = 123.0 + static_cast<double>((i * 7919) % 23000) / 1000.0;
        std::fprintf(out,
                     "  <wpt lat=\"%.7f\" lon=\"%.7f\">\n    <name>%s %ld</name>\n    <cmt>%s</cmt>\n"
                     "    <desc>03%08ld</desc>\n  </wpt>\n",
                     latitude, longitude, kNames[i % 5], i + 1, kReadings[i % 5], (i * 7) % 100000000);
    }
    std::fputs("</gpx>\n", out);
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
