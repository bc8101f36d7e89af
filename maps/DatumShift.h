#pragma once
// Tokyo datum <-> WGS 84 (JGD2000) for points in and around Japan: the national parameter grid
// where it has data, the Helmert transformation EPSG:15484 elsewhere.
#include <memory>
#include <string>
#include <vector>

#include "maps/Place.h"

struct ShiftedPoint {
    double latitude = 0;
    double longitude = 0;
    DatumMethod method = DatumMethod::none;
    bool outsideArea = false;  // beyond the area both methods are made for: shifted by Helmert, to be warned
};

class DatumShift {
public:
    // gridPath: the TKY2JGD grid; the PROJ objects are created on the first shift, once.
    explicit DatumShift(std::string gridPath = DefaultGridPath());
    ~DatumShift();
    DatumShift(const DatumShift&) = delete;
    DatumShift& operator=(const DatumShift&) = delete;

    // Throw MapError when the grid cannot be used at all.
    ShiftedPoint TokyoToWgs84(double latitude, double longitude);
    ShiftedPoint Wgs84ToTokyo(double latitude, double longitude);
    // Every point in place (latitude and longitude in, all members out), visited tile by tile of
    // the grid so that each tile is read once, whatever the points' order.
    void TokyoToWgs84(std::vector<ShiftedPoint>& points);
    void Wgs84ToTokyo(std::vector<ShiftedPoint>& points);

    // $QUORVEL_DATA_DIR/TKY2JGD.tif, else the installed data folder, else the build's unpacked
    // copy, else the source tree's data/.
    static std::string DefaultGridPath();

private:
    struct Impl;
    ShiftedPoint Shift(double latitude, double longitude, int direction);
    void ShiftAll(std::vector<ShiftedPoint>& points, int direction);
    void Prepare();

    std::string m_strGridPath;
    std::unique_ptr<Impl> m_impl;
};
