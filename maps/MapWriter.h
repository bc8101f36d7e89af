#pragma once
// Documents for today's maps (coordinates in WGS 84) made from places.
#include <string>
#include <vector>

#include "maps/MapFormat.h"
#include "maps/Place.h"

struct MapWriteOptions {
    bool bom = false;  // CSV: a UTF-8 byte-order mark for spreadsheet programs
};

// The whole document. Coordinates with 7 decimals; each place's method is stated with it.
std::string WriteMapDocument(MapFormat format, const std::vector<Place>& places, const MapWriteOptions& options);
