// quorvel-datum-compare [STEP]
// How far the Helmert transformation EPSG:15484 lies from the grid, over a lattice of
// Tokyo-datum points every STEP degrees (default 0.05) wherever the grid has data: median, 95th
// percentile and maximum for the main islands and the Ryukyu islands; and both at the reference
// point against its published value. (The tests hold both methods to PROJ's within 0.1 mm.)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/GroundDistance.h"
#include "datum/DatumShift.h"

namespace {
void Report(const char* region, std::vector<double>& d) {
    if (d.empty()) return;
    std::sort(d.begin(), d.end());
    std::printf("%-13s %7zu points  median %6.2f m  p95 %6.2f m  max %7.2f m\n", region, d.size(),
                d[d.size() / 2], d[d.size() * 95 / 100], d.back());
}
}  // namespace

int main(int argc, char** argv) {
    const double step = argc > 1 ? std::atof(argv[1]) : 0.05;
    if (!(step > 0)) {
        std::fprintf(stderr, "usage: quorvel-datum-compare [STEP]\n");
        return 2;
    }
    // JGD2000 against JGD2000: the corrections since are no part of either method.
    DatumShift shift(DatumShift::DefaultGridPath(DataFolder::FromEnvironment()), DatumEpoch::jgd2000);
    // The reference point and its published JGD2000 value.
    const double refLat = 38.546789, refLon = 140.026224, pubLat = 38.549703478, pubLon = 140.022853531;
    const ShiftedPoint g = shift.TokyoToWgs84(refLat, refLon), h = DatumShift::HelmertTokyoToWgs84(refLat, refLon);
    std::printf("reference point: grid %.9f %.9f (%.4f m from the published value), Helmert %.9f %.9f (%.3f m)\n",
                g.latitude, g.longitude, GroundDistance(pubLat, pubLon, g.latitude, g.longitude), h.latitude, h.longitude,
                GroundDistance(pubLat, pubLon, h.latitude, h.longitude));

    std::vector<double> main, ryukyu, other;
    for (double lat = 24.0; lat <= 45.6; lat += step) {
        for (double lon = 122.8; lon <= 146.0; lon += step) {
            const ShiftedPoint p = shift.TokyoToWgs84(lat, lon);
            if (p.method != DatumMethod::grid) continue;
            const ShiftedPoint q = DatumShift::HelmertTokyoToWgs84(lat, lon);
            const double d = GroundDistance(p.latitude, p.longitude, q.latitude, q.longitude);
            // The Ryukyu arc: Amami to Yonaguni; south of 30.5 N and east of 131.5 E: Ogasawara and the like.
            (lat < 30.5 ? (lon < 131.5 ? ryukyu : other) : main).push_back(d);
        }
    }
    std::printf("Helmert against the grid, lattice every %g degrees:\n", step);
    Report("main islands", main);
    Report("Ryukyu", ryukyu);
    Report("other", other);
}
