// quorvel-datum-compare [STEP]
// How far the Helmert transformation EPSG:15484 (from PROJ's database, not our own pipeline) lies
// from the grid, over a lattice of Tokyo-datum points every STEP degrees (default 0.05) wherever
// the grid has data: median, 95th percentile and maximum for the main islands and the Ryukyu
// islands, and both methods at the reference point against its published value.
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "maps/DatumShift.h"
#include "tools/GroundDistance.h"

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
    PJ_CONTEXT* context = proj_context_create();
    PJ* raw = proj_create_from_database(context, "EPSG", "15484", PJ_CATEGORY_COORDINATE_OPERATION, 0, nullptr);
    PJ* helmert = raw ? proj_normalize_for_visualization(context, raw) : nullptr;
    if (!helmert) {
        std::fprintf(stderr, "EPSG:15484 is not in PROJ's database\n");
        return 1;
    }
    DatumShift shift;
    auto viaHelmert = [&](double lat, double lon, double& outLat, double& outLon) {
        const PJ_COORD c = proj_trans(helmert, PJ_FWD, proj_coord(lon, lat, 0, 0));
        outLon = c.lp.lam;
        outLat = c.lp.phi;
    };

    // The reference point and its published JGD2000 value.
    const double refLat = 38.546789, refLon = 140.026224, pubLat = 38.549703478, pubLon = 140.022853531;
    const ShiftedPoint g = shift.TokyoToWgs84(refLat, refLon);
    double hLat = 0, hLon = 0;
    viaHelmert(refLat, refLon, hLat, hLon);
    std::printf("reference point: grid %.9f %.9f (%.4f m from the published value), Helmert %.9f %.9f (%.3f m)\n",
                g.latitude, g.longitude, GroundDistance(pubLat, pubLon, g.latitude, g.longitude), hLat, hLon,
                GroundDistance(pubLat, pubLon, hLat, hLon));

    std::vector<double> main, ryukyu, other;
    for (double lat = 24.0; lat <= 45.6; lat += step) {
        for (double lon = 122.8; lon <= 146.0; lon += step) {
            const ShiftedPoint p = shift.TokyoToWgs84(lat, lon);
            if (p.method != DatumMethod::grid) continue;
            viaHelmert(lat, lon, hLat, hLon);
            const double d = GroundDistance(p.latitude, p.longitude, hLat, hLon);
            // The Ryukyu arc: Amami to Yonaguni; south of 30.5 N and east of 131.5 E: Ogasawara and the like.
            (lat < 30.5 ? (lon < 131.5 ? ryukyu : other) : main).push_back(d);
        }
    }
    std::printf("Helmert against the grid, lattice every %g degrees:\n", step);
    Report("main islands", main);
    Report("Ryukyu", ryukyu);
    Report("other", other);
    proj_destroy(helmert);
    proj_destroy(raw);
    proj_context_destroy(context);
}
