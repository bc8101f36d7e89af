// The datum shift against the national reference, PROJ's own tools and itself.
#include "maps/DatumShift.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "maps/MapError.h"
#include "platform/posix/PosixCalls.h"
#include "tools/GroundDistance.h"

namespace {
// The Helmert transformation as PROJ's cct runs it, in degrees: an independent run of the operation.
bool CctHelmert(double lat, double lon, double& outLat, double& outLon) {
    const std::string command =
        "echo '" + std::to_string(lon) + " " + std::to_string(lat) + " 0' | cct -d 10 +proj=pipeline "
        "+step +proj=unitconvert +xy_in=deg +xy_out=rad +step +proj=push +v_3 +step +proj=cart +ellps=bessel "
        "+step +proj=helmert +x=-146.414 +y=507.337 +z=680.507 +step +inv +proj=cart +ellps=WGS84 +step +proj=pop +v_3 "
        "+step +proj=unitconvert +xy_in=rad +xy_out=deg 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    const bool read = std::fscanf(pipe, "%lf %lf", &outLon, &outLat) == 2;
    return pclose(pipe) == 0 && read;
}

std::string FiveDecimals(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5f", value);
    return text;
}
}  // namespace

TEST(DatumShift, PointsAgainstTheReferenceAndTheFallback) {
    struct Case {
        const char* where;
        double lat, lon;
        DatumMethod method;
        bool outside;
    };
    const Case cases[] = {
        {"Yamagata (national reference point)", 38.546789, 140.026224, DatumMethod::grid, false},
        {"Tokyo", 35.68, 139.76, DatumMethod::grid, false},
        {"Naha", 26.2125, 127.6811, DatumMethod::grid, false},
        {"Chubu airport island, made after the survey", 34.8584, 136.8054, DatumMethod::helmert, false},
        // Coasts where some nodes of the cell have no data: PROJ alone blends in their zero (57 m, 13 m).
        {"Iriomote coast", 24.07, 123.74, DatumMethod::grid, false},
        {"Tarama island coast", 24.69, 124.71, DatumMethod::grid, false},
        {"Seoul: no grid data, inside the Helmert box", 37.5665, 126.978, DatumMethod::helmert, false},
        {"Guam, outside the grid", 13.4443, 144.7937, DatumMethod::helmert, true},
    };
    DatumShift shift;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        const ShiftedPoint p = shift.TokyoToWgs84(c.lat, c.lon);
        EXPECT_EQ(p.method, c.method);
        EXPECT_EQ(p.outsideArea, c.outside);
        // Always a real shift, of the size the datums differ by.
        EXPECT_GT(GroundDistance(c.lat, c.lon, p.latitude, p.longitude), 200);
        EXPECT_LT(GroundDistance(c.lat, c.lon, p.latitude, p.longitude), 900);
        double lat = 0, lon = 0;
        if (c.method == DatumMethod::helmert && CctHelmert(c.lat, c.lon, lat, lon)) {
            EXPECT_LT(GroundDistance(lat, lon, p.latitude, p.longitude), 0.01);
        }
    }
    // The published value of the reference point, to the millimetre; Helmert is a metre off there.
    const ShiftedPoint reference = shift.TokyoToWgs84(38.546789, 140.026224);
    EXPECT_LT(GroundDistance(reference.latitude, reference.longitude, 38.549703478, 140.022853531), 0.001);
    double lat = 0, lon = 0;
    if (!CctHelmert(38.546789, 140.026224, lat, lon)) GTEST_SKIP() << "cct (proj-bin) is not installed";
    EXPECT_NEAR(GroundDistance(lat, lon, 38.549703478, 140.022853531), 1.01, 0.05);
}

TEST(DatumShift, RoundTripsKeepTheTextsOfTheUnit) {
    DatumShift shift;
    const double points[][2] = {{35.68123, 139.76712}, {43.06, 141.35}, {26.2125, 127.6811}, {34.8584, 136.8054},
                                {33.59, 130.42}, {37.5665, 126.978}, {24.07, 123.74}};
    for (const auto& point : points) {
        SCOPED_TRACE(FiveDecimals(point[0]) + " " + FiveDecimals(point[1]));
        const ShiftedPoint there = shift.TokyoToWgs84(point[0], point[1]);
        const ShiftedPoint back = shift.Wgs84ToTokyo(there.latitude, there.longitude);
        EXPECT_EQ(back.method, there.method);
        EXPECT_EQ(FiveDecimals(back.latitude), FiveDecimals(point[0]));
        EXPECT_EQ(FiveDecimals(back.longitude), FiveDecimals(point[1]));
        // The Helmert road drops the height change of the way there: a few millimetres.
        EXPECT_LT(GroundDistance(back.latitude, back.longitude, point[0], point[1]),
                  there.method == DatumMethod::grid ? 0.001 : 0.01);
    }
}

// The programs read the build's copy with plain tiles; it must give the shipped grid's values exactly.
TEST(DatumShift, TheUnpackedGridGivesTheShippedValues) {
    DatumShift shipped(std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/data/TKY2JGD.tif");
    DatumShift unpacked;
    ASSERT_NE(DatumShift::DefaultGridPath(), std::string(QUORVEL_SOURCE_DIR_FOR_TESTS) + "/data/TKY2JGD.tif");
    int differ = 0, onGrid = 0;
    for (double lat = 24.0; lat < 45.6; lat += 0.071) {
        for (double lon = 122.9; lon < 146.0; lon += 0.093) {
            const ShiftedPoint a = shipped.TokyoToWgs84(lat, lon), b = unpacked.TokyoToWgs84(lat, lon);
            differ += a.latitude != b.latitude || a.longitude != b.longitude || a.method != b.method;
            onGrid += a.method == DatumMethod::grid;
        }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(onGrid, 5000);
}

// PROJ is loaded once a process, on the first shift: this needs a process of its own (as ctest runs it).
TEST(DatumShift, AProjLibraryThatCannotBeLoadedIsNamedAndTriedAgain) {
    struct NoLibraries : PosixCalls {
        void* Dlopen(const char*, int) override { return nullptr; }
    } calls;
    PosixCalls* previous = PosixCalls::Replace(&calls);
    DatumShift shift;
    try {
        shift.TokyoToWgs84(35, 139);
        PosixCalls::Replace(previous);
        GTEST_SKIP() << "PROJ was loaded earlier in this process";
    } catch (const MapError& error) {
        PosixCalls::Replace(previous);
        EXPECT_EQ(std::string(error.what()).rfind("測地系の換算に使う PROJ のライブラリを読み込めませんでした (libproj.so", 0), 0u)
            << error.what();
    }
    EXPECT_EQ(shift.TokyoToWgs84(35.68, 139.76).method, DatumMethod::grid);
}

TEST(DatumShift, AMissingGridIsNamed) {
    DatumShift shift("/nonexistent/TKY2JGD.tif");
    try {
        shift.TokyoToWgs84(35, 139);
        FAIL() << "no error";
    } catch (const MapError& error) {
        EXPECT_STREQ(error.what(), "測地系の換算に使う地域パラメータのファイル /nonexistent/TKY2JGD.tif が見つかりません");
    }
}
