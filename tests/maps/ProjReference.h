#pragma once
// The datum shift as PROJ computes it, the tests' reference: hgridshift over the shipped GeoTIFF,
// the Helmert pipeline of EPSG:15484, and on top the rule for coastal cells (a cell with some
// nodes without data interpolated from its nodes with data alone; a point where none of them
// carries weight by Helmert). This is how the programs shifted before they read the grid
// themselves.
#include <memory>
#include <string>

#include "maps/DatumShift.h"

class ProjReference {
public:
    // How the grid stands at a point: all four nodes of its cell have data, some, or it gives no shift.
    enum class Cell {
        full,
        coast,
        none
    };

    explicit ProjReference(const std::string& tiffPath);
    ~ProjReference();
    ProjReference(const ProjReference&) = delete;
    ProjReference& operator=(const ProjReference&) = delete;

    ShiftedPoint TokyoToWgs84(double latitude, double longitude, Cell* cell = nullptr);
    ShiftedPoint Wgs84ToTokyo(double latitude, double longitude);
    // PROJ's Helmert pipeline alone, in degrees; false when it gives no point.
    bool Helmert(bool forward, double& latitude, double& longitude);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
