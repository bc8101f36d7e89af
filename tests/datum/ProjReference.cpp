#include "ProjReference.h"

#include <proj.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace {
constexpr const char* kHelmert =
    "+proj=pipeline +step +proj=push +v_3 +step +proj=cart +ellps=bessel "
    "+step +proj=helmert +x=-146.414 +y=507.337 +z=680.507 +step +inv +proj=cart +ellps=WGS84 +step +proj=pop +v_3";
constexpr double kSouth = 20.37, kNorth = 45.54, kWest = 122.83, kEast = 154.05;
// A node without data shifts by nothing (0.1 mm allows for rounding); a real shift is hundreds of metres.
constexpr double kNoShift = 1e-9;

double Radians(double degrees) { return degrees * M_PI / 180.0; }
double Degrees(double radians) { return radians * 180.0 / M_PI; }

// False where PROJ gives no point (outside a grid).
bool RunProj(PJ* operation, PJ_DIRECTION direction, double& latitude, double& longitude) {
    PJ_COORD c{};
    c.lp.lam = Radians(longitude);
    c.lp.phi = Radians(latitude);
    c = proj_trans(operation, direction, c);
    if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi) || c.lp.lam == HUGE_VAL) {
        proj_errno_reset(operation);
        return false;
    }
    longitude = Degrees(c.lp.lam);
    latitude = Degrees(c.lp.phi);
    return true;
}
}  // namespace

struct ProjReference::Impl {
    PJ_CONTEXT* context = nullptr;
    PJ* grid = nullptr;
    PJ* helmert = nullptr;
    double west = 0, south = 0, cellLon = 0, cellLat = 0;
    int columns = 0, rows = 0;
    enum : unsigned char {
        unknown,
        data,
        empty
    };
    std::vector<unsigned char> nodes;  // whether each node has data, learnt on the first visit

    ~Impl() {
        if (grid) proj_destroy(grid);
        if (helmert) proj_destroy(helmert);
        if (context) proj_context_destroy(context);
    }

    static bool Run(PJ* operation, PJ_DIRECTION direction, double& latitude, double& longitude) {
        PJ_COORD c{};
        c.lp.lam = Radians(longitude);
        c.lp.phi = Radians(latitude);
        c = proj_trans(operation, direction, c);
        if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi) || c.lp.lam == HUGE_VAL) {
            proj_errno_reset(operation);
            return false;
        }
        longitude = Degrees(c.lp.lam);
        latitude = Degrees(c.lp.phi);
        return true;
    }

    bool NodeShift(int column, int row, double& shiftLat, double& shiftLon) {
        const double lat = south + row * cellLat, lon = west + column * cellLon;
        double toLat = lat, toLon = lon;
        const bool has = Run(grid, PJ_FWD, toLat, toLon) &&
                         (std::fabs(toLat - lat) > kNoShift || std::fabs(toLon - lon) > kNoShift);
        shiftLat = toLat - lat;
        shiftLon = toLon - lon;
        nodes[static_cast<std::size_t>(row) * columns + column] = has ? data : empty;
        return has;
    }

    bool NodeHasData(int column, int row) {
        const unsigned char known = nodes[static_cast<std::size_t>(row) * columns + column];
        if (known != unknown) return known == data;
        double shiftLat = 0, shiftLon = 0;
        return NodeShift(column, row, shiftLat, shiftLon);
    }

    bool Forward(double lat, double lon, double& toLat, double& toLon, Cell& cell) {
        toLat = lat;
        toLon = lon;
        cell = Cell::none;
        if (!Run(grid, PJ_FWD, toLat, toLon)) return false;
        if (std::fabs(toLat - lat) <= kNoShift && std::fabs(toLon - lon) <= kNoShift) return false;
        const double x = (lon - west) / cellLon, y = (lat - south) / cellLat;
        const int column = std::clamp(static_cast<int>(std::floor(x)), 0, columns - 2);
        const int row = std::clamp(static_cast<int>(std::floor(y)), 0, rows - 2);
        bool all = true;
        for (int corner = 0; corner < 4; ++corner) all = NodeHasData(column + corner % 2, row + corner / 2) && all;
        cell = all ? Cell::full : Cell::coast;
        if (all) return true;
        const double fx = x - column, fy = y - row;
        double weights = 0, shiftLat = 0, shiftLon = 0;
        for (int corner = 0; corner < 4; ++corner) {
            const int c = column + corner % 2, r = row + corner / 2;
            double nodeLat = 0, nodeLon = 0;
            if (!NodeHasData(c, r)) continue;
            NodeShift(c, r, nodeLat, nodeLon);
            const double w = (corner % 2 ? fx : 1 - fx) * (corner / 2 ? fy : 1 - fy);
            weights += w;
            shiftLat += w * nodeLat;
            shiftLon += w * nodeLon;
        }
        if (weights < 1e-9) {
            cell = Cell::none;
            return false;
        }
        toLat = lat + shiftLat / weights;
        toLon = lon + shiftLon / weights;
        return true;
    }

    bool Converge(double lat, double lon, double& fromLat, double& fromLon) {
        for (int step = 0; step < 20; ++step) {
            double toLat = 0, toLon = 0;
            Cell cell;
            if (!Forward(fromLat, fromLon, toLat, toLon, cell)) return false;
            const double errLat = toLat - lat, errLon = toLon - lon;
            if (std::fabs(errLat) < 1e-10 && std::fabs(errLon) < 1e-10) return true;
            fromLat -= errLat;
            fromLon -= errLon;
        }
        return false;
    }

    bool Inverse(double lat, double lon, double& fromLat, double& fromLon) {
        fromLat = lat;
        fromLon = lon;
        if (Converge(lat, lon, fromLat, fromLon)) return true;
        fromLat = lat;
        fromLon = lon;
        return Run(helmert, PJ_INV, fromLat, fromLon) && Converge(lat, lon, fromLat, fromLon);
    }

    ShiftedPoint ByHelmert(double latitude, double longitude, PJ_DIRECTION direction) {
        ShiftedPoint shifted;
        shifted.latitude = latitude;
        shifted.longitude = longitude;
        shifted.shifted = Run(helmert, direction, shifted.latitude, shifted.longitude);
        shifted.method = DatumMethod::helmert;
        shifted.outsideArea = !(latitude >= kSouth && latitude <= kNorth && longitude >= kWest && longitude <= kEast);
        return shifted;
    }
};

ProjReference::ProjReference(const std::string& tiffPath) : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.context = proj_context_create();
    proj_log_level(impl.context, PJ_LOG_NONE);
    proj_log_func(impl.context, nullptr, [](void*, int, const char*) {});
    proj_context_set_enable_network(impl.context, 0);
    const std::size_t slash = tiffPath.rfind('/');
    const std::string folder = tiffPath.substr(0, slash), file = tiffPath.substr(slash + 1);
    const char* paths[] = {folder.c_str()};
    proj_context_set_search_paths(impl.context, 1, paths);
    impl.grid = proj_create(impl.context, ("+proj=hgridshift +grids=" + file).c_str());
    impl.helmert = proj_create(impl.context, kHelmert);
    const PJ_GRID_INFO info = proj_grid_info(tiffPath.c_str());
    if (!impl.grid || !impl.helmert || info.n_lon < 2 || info.n_lat < 2) throw std::runtime_error("PROJ cannot use " + tiffPath);
    impl.west = Degrees(info.lowerleft.lam);
    impl.south = Degrees(info.lowerleft.phi);
    impl.cellLon = Degrees(info.cs_lon);
    impl.cellLat = Degrees(info.cs_lat);
    impl.columns = info.n_lon;
    impl.rows = info.n_lat;
    impl.nodes.assign(static_cast<std::size_t>(info.n_lon) * info.n_lat, Impl::unknown);
}

ProjReference::~ProjReference() = default;

ShiftedPoint ProjReference::TokyoToWgs84(double latitude, double longitude, Cell* cell) {
    ShiftedPoint shifted;
    Cell found = Cell::none;
    if (m_impl->Forward(latitude, longitude, shifted.latitude, shifted.longitude, found)) {
        shifted.method = DatumMethod::grid;
        shifted.shifted = true;
    } else {
        shifted = m_impl->ByHelmert(latitude, longitude, PJ_FWD);
    }
    if (cell) *cell = found;
    return shifted;
}

ShiftedPoint ProjReference::Wgs84ToTokyo(double latitude, double longitude) {
    ShiftedPoint shifted;
    if (!m_impl->Inverse(latitude, longitude, shifted.latitude, shifted.longitude))
        return m_impl->ByHelmert(latitude, longitude, PJ_INV);
    shifted.method = DatumMethod::grid;
    shifted.shifted = true;
    return shifted;
}

bool ProjReference::Helmert(bool forward, double& latitude, double& longitude) {
    return Impl::Run(m_impl->helmert, forward ? PJ_FWD : PJ_INV, latitude, longitude);
}

struct ProjCorrections::Grid {
    PJ* pj = nullptr;
    double west = 0, south = 0, cellLon = 0, cellLat = 0;
    int columns = 0, rows = 0;
    ~Grid() {
        if (pj) proj_destroy(pj);
    }
    // PROJ's shift, false outside the grid.
    bool Run(PJ_DIRECTION direction, double& latitude, double& longitude) const {
        return RunProj(pj, direction, latitude, longitude);
    }
    bool NodeHasData(int column, int row) const {
        const double lat = south + row * cellLat, lon = west + column * cellLon;
        double toLat = lat, toLon = lon;
        return Run(PJ_FWD, toLat, toLon) && (std::fabs(toLat - lat) > kNoShift || std::fabs(toLon - lon) > kNoShift);
    }
};

ProjCorrections::ProjCorrections(const std::vector<std::vector<std::string>>& events) {
    m_context = proj_context_create();
    proj_log_level(m_context, PJ_LOG_NONE);
    proj_log_func(m_context, nullptr, [](void*, int, const char*) {});
    proj_context_set_enable_network(m_context, 0);
    for (const std::vector<std::string>& paths : events) {
        m_events.emplace_back();
        for (const std::string& path : paths) {
            auto grid = std::make_unique<Grid>();
            const std::size_t slash = path.rfind('/');
            const std::string folder = path.substr(0, slash);
            const char* search[] = {folder.c_str()};
            proj_context_set_search_paths(m_context, 1, search);
            grid->pj = proj_create(m_context, ("+proj=hgridshift +grids=" + path.substr(slash + 1)).c_str());
            const PJ_GRID_INFO info = proj_grid_info(path.c_str());
            if (!grid->pj || info.n_lon < 2) throw std::runtime_error("PROJ cannot use " + path);
            grid->west = Degrees(info.lowerleft.lam);
            grid->south = Degrees(info.lowerleft.phi);
            grid->cellLon = Degrees(info.cs_lon);
            grid->cellLat = Degrees(info.cs_lat);
            grid->columns = info.n_lon;
            grid->rows = info.n_lat;
            m_events.back().push_back(std::move(grid));
        }
    }
}

ProjCorrections::~ProjCorrections() {
    m_events.clear();
    if (m_context) proj_context_destroy(m_context);
}

int ProjCorrections::CellData(Grid& grid, double latitude, double longitude) {
    const double x = (longitude - grid.west) / grid.cellLon, y = (latitude - grid.south) / grid.cellLat;
    if (!(x >= 0 && x <= grid.columns - 1 && y >= 0 && y <= grid.rows - 1)) return -1;
    const int column = std::min(static_cast<int>(x), grid.columns - 2), row = std::min(static_cast<int>(y), grid.rows - 2);
    int found = 0;
    for (int corner = 0; corner < 4; ++corner) found += grid.NodeHasData(column + corner % 2, row + corner / 2);
    return found == 4 ? 1 : found > 0 ? 0
                                      : -1;
}

ProjCorrections::Grid* ProjCorrections::Chosen(std::size_t event, double latitude, double longitude) {
    Grid* chosen = nullptr;
    for (const auto& grid : m_events[event]) {
        double lat = latitude, lon = longitude;
        const int data = CellData(*grid, latitude, longitude);
        if (data < 0 || !grid->Run(PJ_FWD, lat, lon) || (std::fabs(lat - latitude) <= kNoShift && std::fabs(lon - longitude) <= kNoShift))
            continue;
        if (!chosen || data == 1) chosen = grid.get();
        if (data == 1) break;
    }
    return chosen;
}

std::uint32_t ProjCorrections::Forward(double& latitude, double& longitude) {
    std::uint32_t moved = 0;
    for (std::size_t e = 0; e < m_events.size(); ++e) {
        Grid* chosen = Chosen(e, latitude, longitude);
        if (chosen && chosen->Run(PJ_FWD, latitude, longitude)) moved |= 1u << e;
    }
    return moved;
}

std::uint32_t ProjCorrections::Inverse(double& latitude, double& longitude) {
    std::uint32_t moved = 0;
    for (std::size_t e = m_events.size(); e-- > 0;) {
        // A grid's inverse, kept where the forward chooses that grid at the point found.
        for (const auto& grid : m_events[e]) {
            double lat = latitude, lon = longitude;
            if (!grid->Run(PJ_INV, lat, lon) || Chosen(e, lat, lon) != grid.get()) continue;
            latitude = lat;
            longitude = lon;
            moved |= 1u << e;
            break;
        }
    }
    return moved;
}
