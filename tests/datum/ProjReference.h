#pragma once
// The datum shift as PROJ computes it, the tests' reference: hgridshift over the shipped GeoTIFF,
// the Helmert pipeline of EPSG:15484, and on top the rule for coastal cells (a cell with some
// nodes without data interpolated from its nodes with data alone; a point where none of them
// carries weight by Helmert). This is how the programs shifted before they read the grid
// themselves.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datum/DatumShift.h"

struct pj_ctx;
typedef struct pj_ctx PJ_CONTEXT;

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

// The national corrections as PROJ's hgridshift applies them, one grid after another, each event's
// grids as the program chooses between them (the one whose nodes all have data at the point's
// cell, else the first that moves it). A point outside a grid is passed on as it is.
class ProjCorrections {
public:
    // events: each event's grids (GeoTIFF paths), in the order they are applied.
    explicit ProjCorrections(const std::vector<std::vector<std::string>>& events);
    ~ProjCorrections();
    ProjCorrections(const ProjCorrections&) = delete;
    ProjCorrections& operator=(const ProjCorrections&) = delete;

    // The bits of the events that moved the point, as GroundCorrections gives them.
    std::uint32_t Forward(double& latitude, double& longitude);
    std::uint32_t Inverse(double& latitude, double& longitude);

private:
    struct Grid;
    // 1: all four nodes of the point's cell have data, 0: some, -1: none or outside.
    int CellData(Grid& grid, double latitude, double longitude);
    // The grid of the event that moves the point, null for none.
    Grid* Chosen(std::size_t event, double latitude, double longitude);
    PJ_CONTEXT* m_context = nullptr;
    std::vector<std::vector<std::unique_ptr<Grid>>> m_events;
};
