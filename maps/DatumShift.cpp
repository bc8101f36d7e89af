#include "maps/DatumShift.h"

#include <proj.h>
#include <sys/stat.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "maps/MapError.h"

namespace {
constexpr const char* kGridName = "TKY2JGD.tif";
// EPSG:15484 (Tokyo to WGS 84 (108)), written out so that no database is consulted; in radians.
constexpr const char* kHelmert =
    "+proj=pipeline +step +proj=push +v_3 +step +proj=cart +ellps=bessel "
    "+step +proj=helmert +x=-146.414 +y=507.337 +z=680.507 +step +inv +proj=cart +ellps=WGS84 +step +proj=pop +v_3";
// EPSG:15484's area of use: Japan including outlying islands.
constexpr double kSouth = 20.37, kNorth = 45.54, kWest = 122.83, kEast = 154.05;
// A cell without data shifts by exactly nothing; a real shift is hundreds of metres.
constexpr double kNoShift = 1e-12;

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

    ~Impl() {
        if (grid) proj_destroy(grid);
        if (helmert) proj_destroy(helmert);
        if (context) proj_context_destroy(context);
    }

    // One operation in one direction; false when it gives no point (outside the grid).
    static bool Run(PJ* operation, PJ_DIRECTION direction, double& latitude, double& longitude) {
        PJ_COORD c = proj_coord(Radians(longitude), Radians(latitude), 0, 0);
        c = proj_trans(operation, direction, c);
        if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi) || c.lp.lam == HUGE_VAL) {
            proj_errno_reset(operation);
            return false;
        }
        longitude = Degrees(c.lp.lam);
        latitude = Degrees(c.lp.phi);
        return true;
    }
};

DatumShift::DatumShift(std::string gridPath) : m_strGridPath(std::move(gridPath)) {}

DatumShift::~DatumShift() = default;

std::string DatumShift::DefaultGridPath() {
    if (const char* dir = std::getenv("QUORVEL_DATA_DIR"); dir && *dir) return std::string(dir) + "/" + kGridName;
    const std::string installed = std::string(QUORVEL_INSTALL_DATA_DIR) + "/" + kGridName;
    if (Exists(installed)) return installed;
    return std::string(QUORVEL_SOURCE_DATA_DIR) + "/" + kGridName;
}

ShiftedPoint DatumShift::TokyoToWgs84(double latitude, double longitude) {
    return Shift(latitude, longitude, PJ_FWD);
}

ShiftedPoint DatumShift::Wgs84ToTokyo(double latitude, double longitude) {
    return Shift(latitude, longitude, PJ_INV);
}

ShiftedPoint DatumShift::Shift(double latitude, double longitude, int direction) {
    if (!m_impl) Prepare();
    const auto way = static_cast<PJ_DIRECTION>(direction);
    ShiftedPoint shifted;
    shifted.latitude = latitude;
    shifted.longitude = longitude;
    if (Impl::Run(m_impl->grid, way, shifted.latitude, shifted.longitude) &&
        (std::fabs(shifted.latitude - latitude) > kNoShift || std::fabs(shifted.longitude - longitude) > kNoShift)) {
        shifted.method = DatumMethod::grid;
        return shifted;
    }
    shifted.latitude = latitude;
    shifted.longitude = longitude;
    if (!Impl::Run(m_impl->helmert, way, shifted.latitude, shifted.longitude))
        throw MapError("座標 (" + std::to_string(latitude) + ", " + std::to_string(longitude) + ") は測地系を換算できません");
    shifted.method = DatumMethod::helmert;
    shifted.outsideArea = !(latitude >= kSouth && latitude <= kNorth && longitude >= kWest && longitude <= kEast);
    return shifted;
}

void DatumShift::Prepare() {
    if (!Exists(m_strGridPath))
        throw MapError("測地系の換算に使う地域パラメータのファイル " + m_strGridPath + " が見つかりません");
    auto impl = std::make_unique<Impl>();
    impl->context = proj_context_create();
    if (!impl->context) throw MapError("測地系の換算を準備できませんでした");
    proj_log_level(impl->context, PJ_LOG_NONE);
    proj_context_set_enable_network(impl->context, 0);
    // The grid's own folder first, so that a name with spaces needs no quoting; then PROJ's own.
    const std::string folder = FolderOf(m_strGridPath);
    std::vector<std::string> folders{folder};
    const std::string own = proj_info().searchpath ? proj_info().searchpath : "";
    for (std::size_t at = 0; at <= own.size();) {
        const std::size_t end = std::min(own.find(':', at), own.size());
        if (end > at) folders.push_back(own.substr(at, end - at));
        at = end + 1;
    }
    std::vector<const char*> paths;
    for (const std::string& f : folders) paths.push_back(f.c_str());
    proj_context_set_search_paths(impl->context, static_cast<int>(paths.size()), paths.data());
    const std::string grid = "+proj=hgridshift +grids=" + FileOf(m_strGridPath);
    impl->grid = proj_create(impl->context, grid.c_str());
    impl->helmert = proj_create(impl->context, kHelmert);
    if (!impl->grid || !impl->helmert)
        throw MapError("測地系の換算に使う地域パラメータのファイル " + m_strGridPath + " を読めませんでした");
    m_impl = std::move(impl);
}
