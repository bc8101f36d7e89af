#pragma once
// Tokyo datum <-> WGS 84 for points in and around Japan: the national parameter grid to JGD2000
// where it has data, the Helmert transformation EPSG:15484 elsewhere; then, for today's
// positions, the national corrections for the ground's movement since (datum/GroundCorrections.h).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "places/Place.h"
#include "platform/DataFolder.h"

class DatumGrid;
class GroundCorrections;

struct ShiftedPoint {
    double latitude = 0;
    double longitude = 0;
    DatumMethod method = DatumMethod::none;
    bool outsideArea = false;  // beyond the area both methods are made for: shifted by Helmert, to be warned
    // False for a point that is no place (not a number, beyond +-90 or +-180): given back as it came.
    bool shifted = false;
    std::uint32_t corrections = 0;  // the events whose corrections moved it (GroundCorrections::Names)
};

class DatumShift {
public:
    // gridPath: the compact grid (datum/DatumGrid.h), read on the first shift; the corrections'
    // bundle (GroundCorrections::kFileName) beside it, read on the first shift to today's positions.
    explicit DatumShift(std::string gridPath = DefaultGridPath(DataFolder::FromEnvironment()), DatumEpoch epoch = DatumEpoch::today);
    // A grid already read (from bytes built into the program, or shared by several shifts); today's
    // positions with corrections given, else JGD2000's.
    explicit DatumShift(std::shared_ptr<const DatumGrid> grid, std::shared_ptr<const GroundCorrections> corrections = nullptr);
    ~DatumShift();
    DatumShift(const DatumShift&) = delete;
    DatumShift& operator=(const DatumShift&) = delete;

    // Throw MapError only when the grid or the corrections cannot be read (and try again next time).
    ShiftedPoint TokyoToWgs84(double latitude, double longitude);
    ShiftedPoint Wgs84ToTokyo(double latitude, double longitude);
    // Every point in place (latitude and longitude in, all members out).
    void TokyoToWgs84(std::vector<ShiftedPoint>& points);
    void Wgs84ToTokyo(std::vector<ShiftedPoint>& points);

    // The grid of the data folder (DataFolder::PathOf): the chosen folder's, else the one that
    // travels with the program, else on Linux the installed or the build's, and when none exists
    // the installed one (named in the error).
    static std::string DefaultGridPath(const DataFolder& data);
    static constexpr const char* kGridName = "TKY2JGD.grid";

    // EPSG:15484 alone, whatever the grid holds: to measure the two against each other.
    static ShiftedPoint HelmertTokyoToWgs84(double latitude, double longitude);

private:
    ShiftedPoint Shift(double latitude, double longitude, bool forward);
    ShiftedPoint ToJgd2000(double latitude, double longitude);
    ShiftedPoint FromJgd2000(double latitude, double longitude);
    bool GridInverse(double latitude, double longitude, double& fromLat, double& fromLon) const;
    const DatumGrid& Grid();
    const GroundCorrections* Corrections();

    std::string m_strGridPath;
    std::shared_ptr<const DatumGrid> m_grid;
    DatumEpoch m_epoch = DatumEpoch::today;
    std::shared_ptr<const GroundCorrections> m_corrections;
};
