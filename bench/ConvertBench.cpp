// One whole conversion of a full memory-point file a iteration, on the road the dialog takes (read,
// made into places, written as the one document), every file in memory.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "convert/DmsToDegreeText.h"
#include "pipeline/Conversion.h"
#include "mempoint/CMemPointStore.h"
#include "mempoint/MemPointFormat.h"
#include "support/MemImage.h"
#include "support/MemoryCalls.h"

namespace {
// A hundred points with two-byte names and readings, every field filled.
std::string FullImage() {
    MemImage image;
    for (int i = 0; i < mempoint::kRecordCount; ++i) {
        const std::string number = std::to_string(i);
        image.Use(i)
            .Name(i, "\x93\x8c\x8b\x9e\x89\x77" + number)
            .Reading(i, "\x82\xc6\x82\xa4\x82\xab\x82\xe5\x82\xa4" + number)
            .Latitude(i, MemImage::Seconds(35, 40, 41) + static_cast<std::uint32_t>(i), static_cast<std::uint8_t>(i * 7))
            .Longitude(i, MemImage::Seconds(139, 46, 13) + static_cast<std::uint32_t>(i), static_cast<std::uint8_t>(i * 3))
            .Digits(i, "03" + std::to_string(10000000 + i));
    }
    return image.Bytes();
}

void BM_ConvertFullFile(benchmark::State& state) {
    MemoryCalls calls("/mem");
    calls.SetFile("/mem/points.mem", FullImage());
    ConversionOptions options;
    options.recordForRecord = true;
    options.oneDocument = true;
    Conversion conversion(options);
    std::size_t points = 0;
    for (auto _ : state) {
        const ConversionResult result = conversion.Convert({CString("points.mem")}, CString("points.xml"));
        if (!result.ok) throw std::runtime_error("conversion failed");
        points = result.written;
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["bytes"] = static_cast<double>(calls.File("/mem/points.xml").size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points));
}
BENCHMARK(BM_ConvertFullFile)->Unit(benchmark::kMicrosecond);

// One coordinate a call, cycling through texts the store writes for points in Japan.
void BM_DmsToDegreeText(benchmark::State& state) {
    std::vector<std::string> texts;
    char dms[16];
    for (std::uint32_t i = 0; i < 1024; ++i) {
        CMemPointStore::FormatDms(dms, (MemImage::Seconds(i % 2 ? 35 : 139, 40, 41) + i * 37) * 256 + (i * 73) % 256);
        texts.emplace_back(dms);
    }
    std::size_t i = 0;
    CString text;
    for (auto _ : state) {
        text = texts[i++ & 1023];
        DmsToDegreeText(text);
        benchmark::DoNotOptimize(text.GetString());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DmsToDegreeText)->Unit(benchmark::kNanosecond);
}  // namespace

BENCHMARK_MAIN();
