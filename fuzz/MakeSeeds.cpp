// Writes the seed corpora of the fuzz harnesses: quorvel-fuzz-seeds <corpus folder>, which gets
// one sub-folder a harness. Every seed is made here, from our own image builder.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "mempoint/CMemPointStore.h"
#include "support/MemImage.h"

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
    one.Use(0).Name(0, "\x93\x8c\x8b\x9e\x89\x77").Latitude(0, MemImage::Seconds(35, 40, 52), 128)
        .Longitude(0, MemImage::Seconds(139, 46, 1), 37).Digits(0, "0312345678");
    seeds.emplace_back("one-point", one.Bytes());
    MemImage marks;
    marks.Use(0).Name(0, "A&B<C>\"D'").Reading(0, "\x82\xa0&amp;").Use(1).Name(1, "ABCDEFGHIJKLMNO\x82")
        .Reading(1, "abc\x82").Use(2).Name(2, "\xb1\xb2\xb3 \x81\x5c\x95\x5c").LongitudeBytes(2, 0xFF, 0xFF, 0xFF, 0xFF);
    seeds.emplace_back("markup-and-lead-bytes", marks.Bytes());
    MemImage full;
    for (int i = 0; i < 100; ++i) {
        full.Use(i).Name(i, "\x83\x7c\x83\x43\x83\x93\x83\x67" + std::to_string(i))
            .Reading(i, "\xce\xdf\xb2\xdd\xc4" + std::to_string(i))
            .Latitude(i, MemImage::Seconds(20 + i % 27, i % 60, (i * 7) % 60), static_cast<std::uint8_t>(i * 5))
            .Longitude(i, MemImage::Seconds(122 + i % 33, (i * 3) % 60, i % 60), static_cast<std::uint8_t>(i * 11))
            .Digits(i, std::to_string(1000000000 + i * 7919));
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
    const bool ok = WriteAll(root + "/convert", ConvertSeeds()) && WriteAll(root + "/dms", DmsSeeds()) &&
                    WriteAll(root + "/path", PathSeeds());
    if (!ok) std::fprintf(stderr, "%s: cannot write the seeds under %s\n", argv[0], root.c_str());
    return ok ? 0 : 1;
}
