// The datum shift against PROJ over the whole grid, against the national reference point, and
// the grid file it reads.
#include "maps/DatumShift.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "ProjReference.h"
#include "bench/GroundDistance.h"
#include "maps/DatumGrid.h"
#include "maps/MapError.h"
#include "support/TempDir.h"

namespace {
const std::string kTiff = std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/data/TKY2JGD.tif";

std::string Where(double lat, double lon) {
    char text[64];
    std::snprintf(text, sizeof text, "(%.9f, %.9f)", lat, lon);
    return text;
}

std::vector<unsigned char> GridBytes() {
    const std::string bytes = ReadFileBytes(DatumShift::DefaultGridPath());
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
    DatumShift shift;
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
    WriteFileBytes(path, ReadFileBytes(DatumShift::DefaultGridPath()));
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    EXPECT_EQ(DatumShift(path).TokyoToWgs84(35.68, 139.76).method, DatumMethod::grid);
    close(fd);
}

TEST(DatumShift, TheGridIsLookedForInTheDataFolderFirst) {
    ASSERT_EQ(setenv("QUORVEL_DATA_DIR", "/opt/maps", 1), 0);
    EXPECT_EQ(DatumShift::DefaultGridPath(), "/opt/maps/TKY2JGD.grid");
    unsetenv("QUORVEL_DATA_DIR");
    const std::string built = DatumShift::DefaultGridPath();
    EXPECT_EQ(built.substr(built.size() - 18), "/data/TKY2JGD.grid");
    EXPECT_TRUE(FileExists(built));
}
