// 100,000 points through the datum shift a iteration, each way. The points lie on a lattice over
// central Honshu and its seas (59 % of them on the grid's land, the rest by Helmert).
#include <benchmark/benchmark.h>

#include <vector>

#include "datum/DatumShift.h"

namespace {
constexpr int kPoints = 100000;

std::vector<ShiftedPoint> Lattice() {
    std::vector<ShiftedPoint> points(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        points[i].latitude = 33.5 + (i / 400) * 0.012;
        points[i].longitude = 132.5 + (i % 400) * 0.02;
    }
    return points;
}

void BM_TokyoToWgs84(benchmark::State& state) {
    DatumShift shift;
    const std::vector<ShiftedPoint> points = Lattice();
    int onGrid = 0;
    for (const ShiftedPoint& p : points) onGrid += shift.TokyoToWgs84(p.latitude, p.longitude).method == DatumMethod::grid;
    for (auto _ : state) {
        for (const ShiftedPoint& p : points) benchmark::DoNotOptimize(shift.TokyoToWgs84(p.latitude, p.longitude));
    }
    state.counters["grid%"] = 100.0 * onGrid / kPoints;
}
BENCHMARK(BM_TokyoToWgs84)->Unit(benchmark::kMillisecond);

void BM_Wgs84ToTokyo(benchmark::State& state) {
    DatumShift shift;
    std::vector<ShiftedPoint> points = Lattice();
    for (ShiftedPoint& p : points) p = shift.TokyoToWgs84(p.latitude, p.longitude);
    for (auto _ : state) {
        for (const ShiftedPoint& p : points) benchmark::DoNotOptimize(shift.Wgs84ToTokyo(p.latitude, p.longitude));
    }
}
BENCHMARK(BM_Wgs84ToTokyo)->Unit(benchmark::kMillisecond);
}  // namespace
