#include "datum/DatumShift.h"

#include <cmath>
#include <utility>

#include "datum/DatumGrid.h"
#include "datum/GroundCorrections.h"
#include "platform/HostSystem.h"

namespace {
// EPSG:15484 (Tokyo to WGS 84 (108)): a geocentric translation from Bessel 1841 to WGS 84,
// heights 0 in and dropped out.
constexpr double kDx = -146.414, kDy = 507.337, kDz = 680.507;
// Its area of use: Japan including outlying islands.
constexpr double kSouth = 20.37, kNorth = 45.54, kWest = 122.83, kEast = 154.05;
constexpr double kPi = 3.14159265358979323846;

struct Ellipsoid {
    double a, es, b, e2s;  // semi-major axis, first eccentricity squared, semi-minor axis, second eccentricity squared
    Ellipsoid(double semiMajor, double inverseFlattening) {
        const double f = 1 / inverseFlattening;
        a = semiMajor;
        es = 2 * f - f * f;
        b = a * (1 - f);
        e2s = es / (1 - es);
    }
};
const Ellipsoid kBessel(6377397.155, 299.1528128);
const Ellipsoid kWgs84(6378137.0, 298.257223563);

// Geodetic (radians, height 0) to geocentric coordinates.
void ToCartesian(const Ellipsoid& e, double phi, double lam, double xyz[3]) {
    const double sinPhi = std::sin(phi), cosPhi = std::cos(phi);
    const double n = e.a / std::sqrt(1 - e.es * sinPhi * sinPhi);
    xyz[0] = n * cosPhi * std::cos(lam);
    xyz[1] = n * cosPhi * std::sin(lam);
    xyz[2] = n * (1 - e.es) * sinPhi;
}

// Geocentric to geodetic (radians), the height dropped: Bowring's formula in one step, within
// micrometres anywhere near the ground. cos and sin of his auxiliary angle come from its tangent.
void ToGeodetic(const Ellipsoid& e, const double xyz[3], double& phi, double& lam) {
    const double p = std::sqrt(xyz[0] * xyz[0] + xyz[1] * xyz[1]);
    const double u = xyz[2] * e.a, v = p * e.b, r = std::sqrt(u * u + v * v);
    const double c = v / r, s = u / r;
    phi = std::atan2(xyz[2] + e.e2s * e.b * s * s * s, p - e.es * e.a * c * c * c);
    lam = std::atan2(xyz[1], xyz[0]);
}

// EPSG:15484 forward (Tokyo to WGS 84) or back, in degrees.
void Helmert(bool forward, double& latitude, double& longitude) {
    const double sign = forward ? 1 : -1;
    double xyz[3];
    ToCartesian(forward ? kBessel : kWgs84, latitude * kPi / 180, longitude * kPi / 180, xyz);
    xyz[0] += sign * kDx;
    xyz[1] += sign * kDy;
    xyz[2] += sign * kDz;
    double phi = 0, lam = 0;
    ToGeodetic(forward ? kWgs84 : kBessel, xyz, phi, lam);
    latitude = phi * 180 / kPi;
    longitude = lam * 180 / kPi;
}

// False for NaN too.
bool IsPlace(double latitude, double longitude) { return std::fabs(latitude) <= 90 && std::fabs(longitude) <= 180; }

// A point Helmert moved from (latitude, longitude): to be warned of beyond the area of use.
ShiftedPoint ByHelmert(double toLat, double toLon, double latitude, double longitude) {
    const bool inside = latitude >= kSouth && latitude <= kNorth && longitude >= kWest && longitude <= kEast;
    return ShiftedPoint{toLat, toLon, DatumMethod::helmert, !inside, true};
}
}  // namespace

DatumShift::DatumShift(std::string gridPath, DatumEpoch epoch) : m_strGridPath(std::move(gridPath)), m_epoch(epoch) {}

DatumShift::DatumShift(std::shared_ptr<const DatumGrid> grid, std::shared_ptr<const GroundCorrections> corrections)
    : m_grid(std::move(grid)), m_epoch(corrections ? DatumEpoch::today : DatumEpoch::jgd2000), m_corrections(std::move(corrections)) {}

DatumShift::~DatumShift() = default;

std::string DatumShift::DefaultGridPath(const DataFolder& data) { return data.PathOf(kGridName); }

ShiftedPoint DatumShift::HelmertTokyoToWgs84(double latitude, double longitude) {
    if (!IsPlace(latitude, longitude)) return ShiftedPoint{latitude, longitude};
    double toLat = latitude, toLon = longitude;
    Helmert(true, toLat, toLon);
    return ByHelmert(toLat, toLon, latitude, longitude);
}

const DatumGrid& DatumShift::Grid() {
    if (!m_grid) m_grid = std::make_shared<const DatumGrid>(m_strGridPath);
    return *m_grid;
}

const GroundCorrections* DatumShift::Corrections() {
    if (m_epoch != DatumEpoch::today) return nullptr;
    if (!m_corrections) {
        const std::size_t slash = m_strGridPath.find_last_of("/\\");
        const std::string folder = slash == std::string::npos ? std::string() : m_strGridPath.substr(0, slash + 1);
        m_corrections = std::make_shared<const GroundCorrections>(folder + GroundCorrections::kFileName);
    }
    return m_corrections.get();
}

ShiftedPoint DatumShift::TokyoToWgs84(double latitude, double longitude) { return Shift(latitude, longitude, true); }

ShiftedPoint DatumShift::Wgs84ToTokyo(double latitude, double longitude) { return Shift(latitude, longitude, false); }

void DatumShift::TokyoToWgs84(std::vector<ShiftedPoint>& points) {
    for (ShiftedPoint& p : points) p = Shift(p.latitude, p.longitude, true);
}

void DatumShift::Wgs84ToTokyo(std::vector<ShiftedPoint>& points) {
    for (ShiftedPoint& p : points) p = Shift(p.latitude, p.longitude, false);
}

ShiftedPoint DatumShift::Shift(double latitude, double longitude, bool forward) {
    if (!IsPlace(latitude, longitude)) return ShiftedPoint{latitude, longitude};
    Grid();  // its errors before the corrections'
    const GroundCorrections* corrections = Corrections();
    if (forward) {
        ShiftedPoint shifted = ToJgd2000(latitude, longitude);
        if (corrections) shifted.corrections = corrections->Forward(shifted.latitude, shifted.longitude);
        return shifted;
    }
    // Today's position back to where JGD2000 had the ground, then to the Tokyo datum.
    std::uint32_t moved = 0;
    if (corrections) moved = corrections->Inverse(latitude, longitude);
    ShiftedPoint shifted = FromJgd2000(latitude, longitude);
    shifted.corrections = moved;
    return shifted;
}

ShiftedPoint DatumShift::ToJgd2000(double latitude, double longitude) {
    const DatumGrid& grid = Grid();
    double shiftLat = 0, shiftLon = 0;
    if (grid.Shift(latitude, longitude, shiftLat, shiftLon))
        return ShiftedPoint{latitude + shiftLat, longitude + shiftLon, DatumMethod::grid, false, true};
    double toLat = latitude, toLon = longitude;
    Helmert(true, toLat, toLon);
    return ByHelmert(toLat, toLon, latitude, longitude);
}

ShiftedPoint DatumShift::FromJgd2000(double latitude, double longitude) {
    double toLat = latitude, toLon = longitude;
    // The grid's inverse started at the point itself, else where Helmert puts it: on a coast the
    // point's own cell may have no data where its origin's has.
    if (GridInverse(latitude, longitude, toLat, toLon)) return ShiftedPoint{toLat, toLon, DatumMethod::grid, false, true};
    double helmertLat = latitude, helmertLon = longitude;
    Helmert(false, helmertLat, helmertLon);
    toLat = helmertLat;
    toLon = helmertLon;
    if (GridInverse(latitude, longitude, toLat, toLon)) return ShiftedPoint{toLat, toLon, DatumMethod::grid, false, true};
    return ByHelmert(helmertLat, helmertLon, latitude, longitude);
}

// The Tokyo-datum point the grid moves to (latitude, longitude), from the start in (fromLat,
// fromLon): the fixed point of the forward shift (it changes by millimetres a cell, so a few
// steps do). False when a step leaves the grid's data or it does not settle.
bool DatumShift::GridInverse(double latitude, double longitude, double& fromLat, double& fromLon) const {
    for (int step = 0; step < 20; ++step) {
        double shiftLat = 0, shiftLon = 0;
        if (!m_grid->Shift(fromLat, fromLon, shiftLat, shiftLon)) return false;
        const double errLat = fromLat + shiftLat - latitude, errLon = fromLon + shiftLon - longitude;
        if (std::fabs(errLat) < 1e-10 && std::fabs(errLon) < 1e-10) return true;  // 10 um
        fromLat -= errLat;
        fromLon -= errLon;
    }
    return false;
}
