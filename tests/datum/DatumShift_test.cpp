// The datum shift against PROJ over the whole grid, against the national reference point, and
// the grid file it reads; the corrections for the ground's movement since against PROJ's chain.
#include "datum/DatumShift.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "ProjReference.h"
#include "bench/GroundDistance.h"
#include "datum/DatumGrid.h"
#include "datum/GroundCorrections.h"
#include "formats/FormatRegistry.h"
#include "pipeline/Conversion.h"
#include "platform/posix/PosixCalls.h"
#include "readings/Gazetteer.h"
#include "text/Cp932Text.h"
#include "text/MapError.h"
#include "support/GoldenFile.h"
#include "support/MemImage.h"
#include "support/TempDir.h"

namespace {
const std::string kTiff = std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/data/TKY2JGD.tif";

std::string Where(double lat, double lon) {
    char text[64];
    std::snprintf(text, sizeof text, "(%.9f, %.9f)", lat, lon);
    return text;
}

std::vector<unsigned char> GridBytes() {
    const std::string bytes = ReadFileBytes(DatumShift::DefaultGridPath(DataFolder()));
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

// Within 0.1 mm and by the same method.
bool Same(const ShiftedPoint& a, const ShiftedPoint& b) {
    return a.method == b.method && a.outsideArea == b.outsideArea && a.shifted == b.shifted &&
           GroundDistance(a.latitude, a.longitude, b.latitude, b.longitude) < 1e-4;
}

// Back where it started: to the millimetre by the grid; by Helmert within the centimetre that
// dropping the height on the way there costs.
bool RoundTrips(const ShiftedPoint& there, const ShiftedPoint& back, double lat, double lon) {
    return back.method == there.method &&
           GroundDistance(lat, lon, back.latitude, back.longitude) < (there.method == DatumMethod::grid ? 0.001 : 0.01);
}

std::string GridError(std::vector<unsigned char> bytes) {
    try {
        double corner[4] = {};  // west, south, cell width and height, as the header has them
        if (bytes.size() >= 64) std::memcpy(corner, bytes.data() + 32, sizeof corner);
        DatumGrid grid(std::move(bytes), "grid.bin");
        // A node's values are checked where it is used: every node of the two southern rows.
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < grid.Columns(); ++column) {
                double lat = 0, lon = 0;
                grid.Shift(corner[1] + row * corner[3], corner[0] + column * corner[2], lat, lon);
            }
    } catch (const MapError& error) {
        return error.what();
    }
    return "no error";
}
}  // namespace

// Every point of lattices over the grid, from its bytes in memory: PROJ's hgridshift where the
// cell's four nodes have data, PROJ's Helmert pipeline where the grid gives nothing, the coastal
// rule between the two, all within 0.1 mm; and back again, as closely as by PROJ.
TEST(DatumShift, LatticesOverTheGridShiftAsProjDoes) {
    struct Lattice {
        const char* where;
        double south, west, north, east, step;  // the step across is 1.07 times it; neither fits a cell (30" by 45")
    };
    const Lattice lattices[] = {
        {"the grid and a margin beyond the area of use", 23.7, 122.6, 45.9, 146.1, 0.0437},  // 256,000 points
        {"the islands of the Seto Inland Sea", 33.8, 132.0, 34.8, 134.0, 0.0061},            // 50,000 points
    };
    ProjReference proj(kTiff);
    DatumShift shift(std::make_shared<const DatumGrid>(GridBytes(), "grid in memory"));
    int cells[3] = {}, outside = 0, wrong = 0, ourFailures = 0, projFailures = 0;
    for (const Lattice& l : lattices) {
        for (int i = 0; l.south + i * l.step < l.north; ++i) {
            for (int j = 0; l.west + j * l.step * 1.07 < l.east; ++j) {
                const double lat = l.south + i * l.step, lon = l.west + j * l.step * 1.07;
                ProjReference::Cell cell;
                const ShiftedPoint want = proj.TokyoToWgs84(lat, lon, &cell), got = shift.TokyoToWgs84(lat, lon);
                const ShiftedPoint back = shift.Wgs84ToTokyo(got.latitude, got.longitude);
                const ShiftedPoint projBack = proj.Wgs84ToTokyo(want.latitude, want.longitude);
                ++cells[static_cast<int>(cell)];
                outside += want.outsideArea;
                ourFailures += !RoundTrips(got, back, lat, lon);
                projFailures += !RoundTrips(want, projBack, lat, lon);
                if ((!Same(got, want) || !Same(back, projBack)) && ++wrong <= 10)
                    ADD_FAILURE() << l.where << " " << Where(lat, lon) << " cell " << static_cast<int>(cell) << ": "
                                  << DatumMethodName(got.method) << " " << Where(got.latitude, got.longitude) << " back "
                                  << Where(back.latitude, back.longitude) << "; PROJ " << DatumMethodName(want.method) << " "
                                  << Where(want.latitude, want.longitude) << " back " << Where(projBack.latitude, projBack.longitude);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_LE(ourFailures, projFailures);
    // Every rule met often enough to count.
    EXPECT_GT(cells[static_cast<int>(ProjReference::Cell::full)], 50000);
    EXPECT_GT(cells[static_cast<int>(ProjReference::Cell::coast)], 5000);
    EXPECT_GT(cells[static_cast<int>(ProjReference::Cell::none)], 200000);
    EXPECT_GT(outside, 5000);
}

// The published value of the reference point, to the millimetre, both ways; Helmert is a metre off there.
TEST(DatumShift, TheReferencePointGetsItsPublishedValue) {
    const double tokyo[2] = {38.546789, 140.026224}, published[2] = {38.549703478, 140.022853531};
    DatumShift shift(DatumShift::DefaultGridPath(DataFolder()), DatumEpoch::jgd2000);
    const ShiftedPoint there = shift.TokyoToWgs84(tokyo[0], tokyo[1]), back = shift.Wgs84ToTokyo(published[0], published[1]);
    EXPECT_EQ(there.method, DatumMethod::grid);
    EXPECT_LT(GroundDistance(there.latitude, there.longitude, published[0], published[1]), 0.001);
    EXPECT_EQ(back.method, DatumMethod::grid);
    EXPECT_LT(GroundDistance(back.latitude, back.longitude, tokyo[0], tokyo[1]), 0.001);
    double lat = tokyo[0], lon = tokyo[1];
    ASSERT_TRUE(ProjReference(kTiff).Helmert(true, lat, lon));
    EXPECT_NEAR(GroundDistance(lat, lon, published[0], published[1]), 1.01, 0.05);
}

// Points far beyond the lattices, the edges of the globe, and values that are no place at all,
// one by one and together; only real places are shifted, none throws.
TEST(DatumShift, EveryPointGetsAnAnswerAndOnlyPlacesAreShifted) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const double places[][2] = {{13.4443, 144.7937}, {50.0, 142.0}, {90, 0}, {-90, 180}, {0, -180}, {-33.9, 151.2}};
    const double noPlaces[][2] = {{nan, 139}, {35, nan}, {inf, 139}, {35, -inf}, {90.000001, 0}, {-91, 0}, {35, 180.000001}, {35, -200}};
    ProjReference proj(kTiff);
    DatumShift shift;
    std::vector<ShiftedPoint> all;
    for (const auto& p : places) {
        SCOPED_TRACE(Where(p[0], p[1]));
        const ShiftedPoint there = shift.TokyoToWgs84(p[0], p[1]), back = shift.Wgs84ToTokyo(p[0], p[1]);
        EXPECT_TRUE(Same(there, proj.TokyoToWgs84(p[0], p[1])));
        EXPECT_TRUE(Same(back, proj.Wgs84ToTokyo(p[0], p[1])));
        EXPECT_TRUE(there.shifted && there.method == DatumMethod::helmert && there.outsideArea);
        all.push_back(there);
    }
    for (const auto& p : noPlaces) {
        SCOPED_TRACE(Where(p[0], p[1]));
        for (const ShiftedPoint& q : {shift.TokyoToWgs84(p[0], p[1]), shift.Wgs84ToTokyo(p[0], p[1])}) {
            EXPECT_EQ(std::memcmp(&q.latitude, &p[0], sizeof p[0]), 0);
            EXPECT_EQ(std::memcmp(&q.longitude, &p[1], sizeof p[1]), 0);
            EXPECT_TRUE(q.method == DatumMethod::none && !q.outsideArea && !q.shifted);
        }
        all.push_back(ShiftedPoint{p[0], p[1]});
    }
    for (const bool forward : {true, false}) {
        std::vector<ShiftedPoint> together = all;
        for (ShiftedPoint& p : together) p = ShiftedPoint{p.latitude, p.longitude};
        forward ? shift.TokyoToWgs84(together) : shift.Wgs84ToTokyo(together);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const ShiftedPoint one = forward ? shift.TokyoToWgs84(all[i].latitude, all[i].longitude)
                                             : shift.Wgs84ToTokyo(all[i].latitude, all[i].longitude);
            EXPECT_EQ(std::memcmp(&together[i].latitude, &one.latitude, 2 * sizeof(double)), 0) << i;
            EXPECT_EQ(together[i].method, one.method);
        }
    }
}

// A grid that cannot be used is named with what is wrong, never read past its end; a missing
// file is named and tried again on the next shift.
TEST(DatumShift, AGridThatCannotBeUsedIsNamed) {
    const std::vector<unsigned char> good = GridBytes();
    ASSERT_EQ(good.size(), 3197580u);
    auto changed = [&](std::size_t at, std::vector<unsigned char> bytes) {
        std::vector<unsigned char> grid = good;
        std::copy(bytes.begin(), bytes.end(), grid.begin() + static_cast<std::ptrdiff_t>(at));
        return grid;
    };
    const std::size_t runs = 64 + 4 * 2581, nodes = runs + 8 * 6076;
    std::vector<unsigned char> longer = good;
    longer.push_back(0);
    EXPECT_EQ(GridError(good), "no error");
    const struct {
        std::vector<unsigned char> bytes;
        const char* why;
    } cases[] = {
        {{}, "途中で切れています (0 バイト)"},
        {{'Q', 'V', 'G'}, "途中で切れています (3 バイト)"},
        {{'I', 'I', '*', 0, 8, 0, 0, 0}, "地域パラメータの形式ではありません"},
        {std::vector<unsigned char>(good.begin(), good.begin() + 63), "途中で切れています (63 バイト)"},
        {std::vector<unsigned char>(good.begin(), good.end() - 1), "途中で切れています (3197579 バイト、3197580 バイトのはずです)"},
        {longer, "後ろに余分なバイトがあります (3197581 バイト、3197580 バイトのはずです)"},
        {changed(8, {2}), "版 2 には対応していません"},
        {changed(12, {1, 0}), "見出しの値が正しくありません"},
        {changed(48, {0, 0, 0, 0, 0, 0, 0xf0, 0x7f}), "見出しの値が正しくありません"},  // an infinite cell
        {changed(20, {0xbd}), "途中で切れています (3197580 バイト、3197588 バイトのはずです)"},
        {changed(64, {1}), "索引が壊れています"},
        {changed(runs, {1}), "索引が壊れています (南から 1 行目)"},
        {changed(runs + 6, {0, 8}), "索引が壊れています (南から 1 行目)"},  // a run longer than its row
        {changed(runs + 8 * 6075 + 6, {2}), "索引が壊れています"},          // the last run short of the last node
        {changed(nodes + 8 * 9, {0, 0, 0xc0, 0x7f}), "値が数ではありません (10 番目の節点)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(GridError(c.bytes), std::string("測地系の換算に使う地域パラメータのファイル grid.bin は使えません: ") + c.why);
    }

    // From files: a missing one (asked again), a folder, a cut one, whose name each message gives.
    TempDir dir;
    WriteFileBytes(dir.File("cut.grid"), std::string(good.begin(), good.begin() + 100));
    const struct {
        std::string path, message;
    } files[] = {
        {"/nonexistent/TKY2JGD.grid", " が見つかりません"},
        {dir.Path(), " を読めませんでした (ファイル アクセス禁止)"},
        {dir.File("cut.grid"), " は使えません: 途中で切れています (100 バイト、3197580 バイトのはずです)"},
    };
    for (const auto& f : files) {
        DatumShift shift(f.path);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                shift.TokyoToWgs84(35, 139);
                ADD_FAILURE() << f.path << ": no error";
            } catch (const MapError& error) {
                EXPECT_EQ(error.what(), "測地系の換算に使う地域パラメータのファイル " + f.path + f.message);
            }
        }
    }
}

// Files are read without sharing: a grid another run is reading is waited for, half a second at most.
// The grid is mapped, not opened for reading without sharing: another run holding it does not
// stop this one.
TEST(DatumShift, AGridInUseIsReadAtOnce) {
    TempDir dir;
    const std::string path = dir.File("TKY2JGD.grid");
    WriteFileBytes(path, ReadFileBytes(DatumShift::DefaultGridPath(DataFolder())));
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    EXPECT_EQ(DatumShift(path, DatumEpoch::jgd2000).TokyoToWgs84(35.68, 139.76).method, DatumMethod::grid);
    close(fd);
}

TEST(DatumShift, TheGridIsLookedForInTheDataFolderFirst) {
    EXPECT_EQ(DatumShift::DefaultGridPath(DataFolder("/opt/maps")), "/opt/maps/TKY2JGD.grid");
    EXPECT_EQ(Gazetteer::DefaultPath(DataFolder("/opt/maps")), "/opt/maps/gazetteer.bin");
    const std::string built = DatumShift::DefaultGridPath(DataFolder());
    EXPECT_EQ(built.substr(built.size() - 18), "/data/TKY2JGD.grid");
    EXPECT_TRUE(FileExists(built));
}

// The environment is read by the data folder alone, through the seam; an empty value chooses none.
TEST(DataFolder, TheEnvironmentChoosesTheFolder) {
    const struct {
        const char* value;
        const char* chosen;
    } rows[] = {{"/opt/maps", "/opt/maps"}, {"", ""}, {nullptr, ""}};
    for (const auto& row : rows) {
        struct Environment : PosixCalls {
            const char* value = nullptr;
            const char* Getenv(const char* name) override { return std::string(name) == "QUORVEL_DATA_DIR" ? value : nullptr; }
        } calls;
        calls.value = row.value;
        PosixCalls* previous = PosixCalls::Replace(&calls);
        const DataFolder data = DataFolder::FromEnvironment();
        PosixCalls::Replace(previous);
        EXPECT_EQ(data.Chosen(), row.chosen) << (row.value ? row.value : "unset");
    }
}

namespace {
const std::string kPatch = std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/data/patchjgd/";

// Each event's grids, in GSI's order, as the oracle is given them.
ProjCorrections& ProjChain() {
    static ProjCorrections chain({{kPatch + "tokachi2003.tif", kPatch + "tokachi2003b.tif"},
                                  {kPatch + "fukuoka2005.tif"},
                                  {kPatch + "noto2007_BL.tif"},
                                  {kPatch + "chuetsuoki2007.tif"},
                                  {kPatch + "iwatemiyagi2008.tif"},
                                  {kPatch + "miyakojima2008.tif"},
                                  {kPatch + "touhokutaiheiyouoki2011.tif"},
                                  {kPatch + "kumamoto2016_BL.tif"},
                                  {kPatch + "noto2024_02BL.tif", kPatch + "noto2024_BL.tif"}});
    return chain;
}

// Tokyo datum to today's map by PROJ: hgridshift over TKY2JGD (Helmert beyond it), then the corrections.
ShiftedPoint ProjToday(ProjReference& proj, double lat, double lon) {
    ShiftedPoint p = proj.TokyoToWgs84(lat, lon);
    p.corrections = ProjChain().Forward(p.latitude, p.longitude);
    return p;
}

// The same seven decimals a document writes (a tie at the eighth aside: within 0.1 mm).
bool SameDecimals(double a, double b) {
    char x[32], y[32];
    std::snprintf(x, sizeof x, "%.7f", a);
    std::snprintf(y, sizeof y, "%.7f", b);
    return std::string(x) == y || std::fabs(a - b) < 1e-9;
}
}  // namespace

// Random points over every correction's grid, points on its node lines and at its corners: the
// chain to today's map is PROJ's, by the same events; back again it is PROJ's inverse chain and
// returns to the Tokyo-datum point wherever PROJ's does (the national grid's coasts aside).
TEST(GroundCorrections, EveryCorrectionsAreaShiftsAsProjsChain) {
    const struct {
        const char* grid;
        std::size_t event;                // as GroundCorrections::Events lists them
        double west, south, east, north;  // the grid's nodes
    } grids[] = {
        {"tokachi2003", 0, 141.7375, 41.9, 145.825, 43.95},
        {"tokachi2003b", 0, 143.55, 43.366666667, 145.3875, 44.366666667},
        {"fukuoka2005", 1, 130.0625, 33.408333333, 130.575, 33.775},
        {"noto2007_BL", 2, 136.6625, 37.083333333, 137.0, 37.308333333},
        {"chuetsuoki2007", 3, 138.35, 37.158333333, 138.775, 37.583333333},
        {"iwatemiyagi2008", 4, 140.0375, 38.525, 141.5, 39.416666667},
        {"miyakojima2008", 5, 125.125, 24.708333333, 125.475, 24.941666667},
        {"touhokutaiheiyouoki2011", 6, 135.4375, 34.883333333, 142.075, 41.575},
        {"kumamoto2016_BL", 7, 130.125, 32.091666667, 131.6875, 33.458333333},
        {"noto2024_BL", 8, 136.775, 36.208333333, 139.1375, 38.008333333},
        {"noto2024_02BL", 8, 136.6125, 36.625, 137.275, 37.433333333},
    };
    ProjReference proj(kTiff);
    DatumShift shift;
    std::mt19937 random(20240101);
    int wrong = 0;
    for (const auto& g : grids) {
        SCOPED_TRACE(g.grid);
        std::uniform_real_distribution<double> lat(g.south, g.north), lon(g.west, g.east);
        std::vector<std::pair<double, double>> points;
        for (int i = 0; i < 40; ++i) points.emplace_back(lat(random), lon(random));
        // On node lines (of the grid the point reaches: the Tokyo datum is some 12" off) and at the corners.
        for (int i = 0; i < 8; ++i) {
            const double row = g.south + std::floor((lat(random) - g.south) * 120) / 120, column = g.west + std::floor((lon(random) - g.west) * 80) / 80;
            points.emplace_back(row - 0.003234, lon(random));
            points.emplace_back(lat(random), column + 0.003232);
        }
        for (const double la : {g.south, g.north})
            for (const double lo : {g.west, g.east}) points.emplace_back(la, lo);
        int moved = 0;
        for (const auto& [la, lo] : points) {
            const ShiftedPoint got = shift.TokyoToWgs84(la, lo), want = ProjToday(proj, la, lo);
            moved += got.corrections >> g.event & 1;
            double backLat = got.latitude, backLon = got.longitude;
            const std::uint32_t undone = ProjChain().Inverse(backLat, backLon);
            const ShiftedPoint back = shift.Wgs84ToTokyo(got.latitude, got.longitude), projBack = proj.Wgs84ToTokyo(backLat, backLon);
            if (got.corrections != want.corrections || !SameDecimals(got.latitude, want.latitude) ||
                !SameDecimals(got.longitude, want.longitude) || back.corrections != undone ||
                GroundDistance(back.latitude, back.longitude, projBack.latitude, projBack.longitude) > 1e-3 ||
                (!RoundTrips(got, back, la, lo) && RoundTrips(want, projBack, la, lo))) {
                if (++wrong <= 10)
                    ADD_FAILURE() << Where(la, lo) << ": " << GroundCorrections::Names(got.corrections) << " " << Where(got.latitude, got.longitude)
                                  << " back " << Where(back.latitude, back.longitude) << "; PROJ " << GroundCorrections::Names(want.corrections)
                                  << " " << Where(want.latitude, want.longitude) << " back " << Where(projBack.latitude, projBack.longitude);
            }
        }
        EXPECT_GE(moved, 8);  // the area is met, not only its margin
    }
    EXPECT_EQ(wrong, 0);
}

// Outside every area (and with --epoch jgd2000 everywhere) a point gets JGD2000's position and no correction.
TEST(GroundCorrections, OutsideEveryAreaAndForJgd2000NothingMoves) {
    const double places[][2] = {{34.684056, 135.529013}, {34.385, 132.455}, {26.21, 127.68}, {43.06, 141.35}, {35.1709, 136.8815}, {13.44, 144.79}};
    DatumShift today, jgd2000(DatumShift::DefaultGridPath(DataFolder()), DatumEpoch::jgd2000);
    for (const auto& p : places) {
        SCOPED_TRACE(Where(p[0], p[1]));
        const ShiftedPoint a = today.TokyoToWgs84(p[0], p[1]), b = jgd2000.TokyoToWgs84(p[0], p[1]);
        EXPECT_EQ(a.corrections, 0u);
        EXPECT_EQ(std::memcmp(&a.latitude, &b.latitude, 2 * sizeof(double)), 0);
    }
    const ShiftedPoint sendai = jgd2000.TokyoToWgs84(38.26, 140.88);
    EXPECT_EQ(sendai.corrections, 0u);
    EXPECT_EQ(sendai.method, DatumMethod::grid);
}

// Ishinomaki, Wajima, Kumamoto, Tokyo and Osaka from a unit's file to GPX: the first four moved by
// their events' corrections as PROJ's chain moves them, Osaka by none; the listing names them; the
// GPX read back into the unit gives the file's coordinates; JGD2000's documents stay as before.
TEST(GroundCorrections, AUnitsFileGoesToTodaysMapAndBack) {
    const struct {
        const char* name;
        int lat[3], lon[3];  // degrees, minutes, seconds (Tokyo datum)
        const char* method;
    } places[] = {
        {"石巻", {38, 25, 53}, {141, 18, 22}, "grid+東北地方太平洋沖地震"},
        {"輪島", {37, 17, 14}, {136, 46, 23}, "grid+平成19年能登半島地震+東北地方太平洋沖地震"},
        {"熊本", {32, 47, 59}, {130, 42, 37}, "grid+熊本地震"},
        {"東京", {35, 40, 41}, {139, 46, 13}, "grid+東北地方太平洋沖地震"},
        {"大阪", {34, 41, 3}, {135, 31, 44}, "grid"},
    };
    TempDir dir;
    MemImage image;
    for (int i = 0; i < 5; ++i) {
        const auto& p = places[i];
        image.Use(i).Name(i, Utf8ToCp932(p.name));
        image.Latitude(i, MemImage::Seconds(p.lat[0], p.lat[1], p.lat[2]), 0).Longitude(i, MemImage::Seconds(p.lon[0], p.lon[1], p.lon[2]), 0);
    }
    WriteFileBytes(dir.File("unit.mem"), image.Bytes());
    auto convert = [&](const char* input, const char* format, const char* output, DatumEpoch epoch) {
        ConversionOptions options;
        options.target = FormatRegistry::Find(format);
        options.guessReadings = false;
        options.epoch = epoch;
        Conversion conversion(options);
        EXPECT_TRUE(conversion.Convert({CString(dir.File(input))}, CString(dir.File(output))).ok) << output;
        return ReadFileBytes(dir.File(output));
    };
    const std::string gpx = convert("unit.mem", "gpx", "today.gpx", DatumEpoch::today);
    ProjReference proj(kTiff);
    ConversionOptions options;
    const ListResult listed = Conversion(options).List(CString(dir.File("unit.mem")));
    ASSERT_EQ(listed.points.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const auto& p = places[i];
        SCOPED_TRACE(p.name);
        const ShiftedPoint want = ProjToday(proj, p.lat[0] + p.lat[1] / 60.0 + p.lat[2] / 3600.0, p.lon[0] + p.lon[1] / 60.0 + p.lon[2] / 3600.0);
        char wpt[96];
        std::snprintf(wpt, sizeof wpt, "<wpt lat=\"%.7f\" lon=\"%.7f\">", want.latitude, want.longitude);
        EXPECT_NE(gpx.find(wpt), std::string::npos) << wpt;
        EXPECT_EQ(listed.points[static_cast<std::size_t>(i)].method, p.method);
    }
    // Back into the unit: the same records, coordinates to the unit's 1/256".
    convert("today.gpx", "mem", "back.mem", DatumEpoch::today);
    EXPECT_EQ(ReadFileBytes(dir.File("back.mem")), image.Bytes());
    // JGD2000's positions, as documents had them before the corrections.
    const std::string sample = std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/samples/meisho.mem";
    WriteFileBytes(dir.File("meisho.mem"), ReadFileBytes(sample));
    for (const char* format : {"gpx", "kml", "geojson", "csv"}) {
        const std::string name = std::string("meisho-jgd2000.") + format;
        EXPECT_TRUE(MatchesGolden(convert("meisho.mem", format, name.c_str(), DatumEpoch::jgd2000), name));
        EXPECT_NE(convert("meisho.mem", format, (std::string("today.") + format).c_str(), DatumEpoch::today), ReadFileBytes(GoldenPath(name)));
    }
}

// A bundle of corrections that cannot be used is named with what is wrong; without it today's
// positions cannot be had (JGD2000's still can).
TEST(GroundCorrections, ABundleThatCannotBeUsedIsNamed) {
    const std::string folder = DatumShift::DefaultGridPath(DataFolder()).substr(0, DatumShift::DefaultGridPath(DataFolder()).rfind('/') + 1);
    const std::string good = ReadFileBytes(folder + GroundCorrections::kFileName);
    std::string noTohoku = good;
    const std::size_t stem = noTohoku.find("touhokutaiheiyouoki2011");
    ASSERT_NE(stem, std::string::npos);
    noTohoku[stem] = 'x';
    const struct {
        std::string bytes, why;
    } cases[] = {
        {good.substr(0, 10), "補正パラメータの形式ではありません"},
        {ReadFileBytes(DatumShift::DefaultGridPath(DataFolder())).substr(0, 100), "補正パラメータの形式ではありません"},
        {noTohoku, "touhokutaiheiyouoki2011 がありません"},
        {good.substr(0, good.size() - 8), "touhokutaiheiyouoki2011 が途中で切れています"},  // the last in the bundle
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        try {
            GroundCorrections(std::vector<unsigned char>(c.bytes.begin(), c.bytes.end()), "patch.bin");
            ADD_FAILURE() << "no error";
        } catch (const MapError& error) {
            EXPECT_EQ(error.what(), "地殻変動の補正パラメータのファイル patch.bin は使えません: " + c.why);
        }
    }
    TempDir dir;
    const std::string grid = dir.File("TKY2JGD.grid");
    WriteFileBytes(grid, ReadFileBytes(DatumShift::DefaultGridPath(DataFolder())));
    try {
        DatumShift(grid).TokyoToWgs84(35, 139);
        ADD_FAILURE() << "no error";
    } catch (const MapError& error) {
        EXPECT_EQ(error.what(), "地殻変動の補正パラメータのファイル " + dir.File("PatchJGD.grid") + " が見つかりません");
    }
    EXPECT_EQ(DatumShift(grid, DatumEpoch::jgd2000).TokyoToWgs84(35, 139).method, DatumMethod::grid);
}
