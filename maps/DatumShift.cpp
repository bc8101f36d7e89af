#include "maps/DatumShift.h"

#include <proj.h>
#include <sys/stat.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "maps/MapError.h"
#include "platform/HostSystem.h"

namespace {
// PROJ's functions, from the library loaded on the first shift: a run that shifts nothing does
// not pay for loading PROJ and the forty libraries it brings (several milliseconds).
#define QUORVEL_PROJ_FUNCTIONS(X)                                                                          \
    X(proj_context_create) X(proj_context_destroy) X(proj_log_level) X(proj_log_func)                       \
    X(proj_context_set_enable_network) X(proj_context_set_search_paths) X(proj_create) X(proj_destroy)      \
    X(proj_trans) X(proj_errno_reset) X(proj_grid_info)

struct ProjApi {
#define QUORVEL_PROJ_MEMBER(name) decltype(&::name) name = nullptr;
    QUORVEL_PROJ_FUNCTIONS(QUORVEL_PROJ_MEMBER)
#undef QUORVEL_PROJ_MEMBER
};

// Throws MapError when the library or one of its functions cannot be had; tried again next time.
const ProjApi& Proj() {
    static const ProjApi api = [] {
        std::string error;
        void* library = LoadSharedLibrary(QUORVEL_PROJ_LIBRARY, error);
        ProjApi loaded;
#define QUORVEL_PROJ_LOAD(name)                                                                              \
    if (library) loaded.name = reinterpret_cast<decltype(&::name)>(SharedLibrarySymbol(library, #name, error)); \
    if (!loaded.name) throw MapError("測地系の換算に使う PROJ のライブラリを読み込めませんでした (" + error + ")");
        QUORVEL_PROJ_FUNCTIONS(QUORVEL_PROJ_LOAD)
#undef QUORVEL_PROJ_LOAD
        return loaded;
    }();
    return api;
}

constexpr const char* kGridName = "TKY2JGD.tif";
// EPSG:15484 (Tokyo to WGS 84 (108)), written out so that no database is consulted; in radians.
constexpr const char* kHelmert =
    "+proj=pipeline +step +proj=push +v_3 +step +proj=cart +ellps=bessel "
    "+step +proj=helmert +x=-146.414 +y=507.337 +z=680.507 +step +inv +proj=cart +ellps=WGS84 +step +proj=pop +v_3";
// EPSG:15484's area of use: Japan including outlying islands.
constexpr double kSouth = 20.37, kNorth = 45.54, kWest = 122.83, kEast = 154.05;
// A node without data shifts by nothing (0.1 mm allows for rounding); a real shift is hundreds of metres.
constexpr double kNoShift = 1e-9;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string FileOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

double Radians(double degrees) { return degrees * M_PI / 180.0; }
double Degrees(double radians) { return radians * 180.0 / M_PI; }
}  // namespace

struct DatumShift::Impl {
    PJ_CONTEXT* context = nullptr;
    PJ* grid = nullptr;
    PJ* helmert = nullptr;
    // The grid's nodes, in degrees; whether each has data is learnt on the first visit.
    double west = 0, south = 0, cellLon = 0, cellLat = 0;
    int columns = 0, rows = 0;
    enum : unsigned char { unknown, data, empty };
    // calloc: a big block comes as untouched zero pages, so a short run pays only for nodes it visits.
    std::unique_ptr<unsigned char, void (*)(void*)> nodes{nullptr, std::free};

    ~Impl() {
        if (grid) Proj().proj_destroy(grid);
        if (helmert) Proj().proj_destroy(helmert);
        if (context) Proj().proj_context_destroy(context);
    }

    // One operation in one direction; false when it gives no point (outside the grid).
    static bool Run(PJ* operation, PJ_DIRECTION direction, double& latitude, double& longitude) {
        PJ_COORD c{};
        c.lp.lam = Radians(longitude);
        c.lp.phi = Radians(latitude);
        c = Proj().proj_trans(operation, direction, c);
        if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi) || c.lp.lam == HUGE_VAL) {
            Proj().proj_errno_reset(operation);
            return false;
        }
        longitude = Degrees(c.lp.lam);
        latitude = Degrees(c.lp.phi);
        return true;
    }

    // The shift the grid holds at node (column, row); false when it holds none.
    bool NodeShift(int column, int row, double& shiftLat, double& shiftLon) {
        const double lat = south + row * cellLat, lon = west + column * cellLon;
        double toLat = lat, toLon = lon;
        const bool has = Run(grid, PJ_FWD, toLat, toLon) &&
                         (std::fabs(toLat - lat) > kNoShift || std::fabs(toLon - lon) > kNoShift);
        shiftLat = toLat - lat;
        shiftLon = toLon - lon;
        nodes.get()[static_cast<std::size_t>(row) * columns + column] = has ? data : empty;
        return has;
    }

    bool NodeHasData(int column, int row) {
        const unsigned char known = nodes.get()[static_cast<std::size_t>(row) * columns + column];
        if (known != unknown) return known == data;
        double shiftLat = 0, shiftLon = 0;
        return NodeShift(column, row, shiftLat, shiftLon);
    }

    // The grid's shift at a Tokyo-datum point, from the nodes of its cell that have data: PROJ
    // would blend in the zero of a node without data and move a coastal point only part of the way.
    bool Forward(double lat, double lon, double& toLat, double& toLon) {
        toLat = lat;
        toLon = lon;
        if (!Run(grid, PJ_FWD, toLat, toLon)) return false;
        // No shift at all: no node of the cell with data carries any weight here (the sea, new land).
        if (std::fabs(toLat - lat) <= kNoShift && std::fabs(toLon - lon) <= kNoShift) return false;
        const double x = (lon - west) / cellLon, y = (lat - south) / cellLat;
        const int column = std::clamp(static_cast<int>(std::floor(x)), 0, columns - 2);
        const int row = std::clamp(static_cast<int>(std::floor(y)), 0, rows - 2);
        bool all = true;
        for (int corner = 0; corner < 4; ++corner) all = NodeHasData(column + corner % 2, row + corner / 2) && all;
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
        if (weights < 1e-9) return false;
        toLat = lat + shiftLat / weights;
        toLon = lon + shiftLon / weights;
        return true;
    }

    // The Tokyo-datum point the grid moves to (lat, lon): the fixed point of Forward (the shift
    // changes by millimetres a cell, so a few steps do), started at the point itself, else where
    // Helmert puts it: on a coast the point's own cell may have no data where its origin's has.
    bool Inverse(double lat, double lon, double& fromLat, double& fromLon) {
        fromLat = lat;
        fromLon = lon;
        if (Converge(lat, lon, fromLat, fromLon)) return true;
        fromLat = lat;
        fromLon = lon;
        return Run(helmert, PJ_INV, fromLat, fromLon) && Converge(lat, lon, fromLat, fromLon);
    }

    bool Converge(double lat, double lon, double& fromLat, double& fromLon) {
        for (int step = 0; step < 20; ++step) {
            double toLat = 0, toLon = 0;
            if (!Forward(fromLat, fromLon, toLat, toLon)) return false;
            const double errLat = toLat - lat, errLon = toLon - lon;
            if (std::fabs(errLat) < 1e-10 && std::fabs(errLon) < 1e-10) return true;  // 10 um
            fromLat -= errLat;
            fromLon -= errLon;
        }
        return false;
    }
};

DatumShift::DatumShift(std::string gridPath) : m_strGridPath(std::move(gridPath)) {}

DatumShift::~DatumShift() = default;

std::string DatumShift::DefaultGridPath() {
    if (const char* dir = std::getenv("QUORVEL_DATA_DIR"); dir && *dir) return std::string(dir) + "/" + kGridName;
    const std::string installed = std::string(QUORVEL_INSTALL_DATA_DIR) + "/" + kGridName;
    if (Exists(installed)) return installed;
    const std::string built = std::string(QUORVEL_BUILD_DATA_DIR) + "/" + kGridName;
    if (Exists(built)) return built;
    return std::string(QUORVEL_SOURCE_DATA_DIR) + "/" + kGridName;
}

ShiftedPoint DatumShift::TokyoToWgs84(double latitude, double longitude) {
    return Shift(latitude, longitude, PJ_FWD);
}

ShiftedPoint DatumShift::Wgs84ToTokyo(double latitude, double longitude) {
    return Shift(latitude, longitude, PJ_INV);
}

void DatumShift::TokyoToWgs84(std::vector<ShiftedPoint>& points) { ShiftAll(points, PJ_FWD); }

void DatumShift::Wgs84ToTokyo(std::vector<ShiftedPoint>& points) { ShiftAll(points, PJ_INV); }

void DatumShift::ShiftAll(std::vector<ShiftedPoint>& points, int direction) {
    if (!m_impl) Prepare();
    // The grid file is stored in tiles of 256 x 256 nodes; PROJ reads a tile whole and keeps few.
    const double tileLat = 256 * m_impl->cellLat, tileLon = 256 * m_impl->cellLon;
    auto tile = [&](const ShiftedPoint& p) {
        return std::make_pair(std::floor((p.latitude - m_impl->south) / tileLat),
                              std::floor((p.longitude - m_impl->west) / tileLon));
    };
    std::vector<std::size_t> order(points.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return tile(points[a]) < tile(points[b]); });
    for (const std::size_t i : order) points[i] = Shift(points[i].latitude, points[i].longitude, direction);
}

ShiftedPoint DatumShift::Shift(double latitude, double longitude, int direction) {
    if (!m_impl) Prepare();
    ShiftedPoint shifted;
    if (direction == PJ_FWD ? m_impl->Forward(latitude, longitude, shifted.latitude, shifted.longitude)
                            : m_impl->Inverse(latitude, longitude, shifted.latitude, shifted.longitude)) {
        shifted.method = DatumMethod::grid;
        return shifted;
    }
    shifted.latitude = latitude;
    shifted.longitude = longitude;
    if (!Impl::Run(m_impl->helmert, static_cast<PJ_DIRECTION>(direction), shifted.latitude, shifted.longitude))
        throw MapError("座標 (" + std::to_string(latitude) + ", " + std::to_string(longitude) + ") は測地系を換算できません");
    shifted.method = DatumMethod::helmert;
    shifted.outsideArea = !(latitude >= kSouth && latitude <= kNorth && longitude >= kWest && longitude <= kEast);
    return shifted;
}

void DatumShift::Prepare() {
    if (!Exists(m_strGridPath))
        throw MapError("測地系の換算に使う地域パラメータのファイル " + m_strGridPath + " が見つかりません");
    auto impl = std::make_unique<Impl>();
    impl->context = Proj().proj_context_create();
    if (!impl->context) throw MapError("測地系の換算を準備できませんでした");
    // Only the grid's folder is searched: our operations need no database, and opening PROJ's
    // takes longer than a whole conversion. PROJ then remarks that it found none, whatever the
    // log level, so the logger drops it; the level spares a message for every point off the grid.
    Proj().proj_log_level(impl->context, PJ_LOG_NONE);
    Proj().proj_log_func(impl->context, nullptr, [](void*, int, const char*) {});
    Proj().proj_context_set_enable_network(impl->context, 0);
    // A folder of its own, so that a name with spaces needs no quoting.
    const std::string folder = FolderOf(m_strGridPath);
    const char* paths[] = {folder.c_str()};
    Proj().proj_context_set_search_paths(impl->context, 1, paths);
    const std::string grid = "+proj=hgridshift +grids=" + FileOf(m_strGridPath);
    impl->grid = Proj().proj_create(impl->context, grid.c_str());
    impl->helmert = Proj().proj_create(impl->context, kHelmert);
    const PJ_GRID_INFO info = Proj().proj_grid_info(m_strGridPath.c_str());
    if (!impl->grid || !impl->helmert || info.n_lon < 2 || info.n_lat < 2)
        throw MapError("測地系の換算に使う地域パラメータのファイル " + m_strGridPath + " を読めませんでした");
    impl->west = Degrees(info.lowerleft.lam);
    impl->south = Degrees(info.lowerleft.phi);
    impl->cellLon = Degrees(info.cs_lon);
    impl->cellLat = Degrees(info.cs_lat);
    impl->columns = info.n_lon;
    impl->rows = info.n_lat;
    impl->nodes.reset(static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(info.n_lon) * info.n_lat, 1)));
    if (!impl->nodes) throw std::bad_alloc();
    m_impl = std::move(impl);
}
