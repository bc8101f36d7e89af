#pragma once
// Metres between two nearby points given in degrees (WGS 84 ellipsoid, the radii of curvature
// at the first point); enough for the metre-scale differences between datum shifts.
#include <cmath>

inline double GroundDistance(double lat1, double lon1, double lat2, double lon2) {
    const double a = 6378137.0, e2 = 0.00669438;
    const double phi = lat1 * M_PI / 180, s = std::sin(phi);
    const double m = a * (1 - e2) / std::pow(1 - e2 * s * s, 1.5), n = a / std::sqrt(1 - e2 * s * s);
    return std::hypot((lat2 - lat1) * M_PI / 180 * m, (lon2 - lon1) * M_PI / 180 * n * std::cos(phi));
}
