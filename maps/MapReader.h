#pragma once
// Places read from today's map formats (coordinates as the file has them, normally WGS 84).
#include <string>

#include "maps/MapFormat.h"
#include "maps/Place.h"

struct MapReadOptions {
    bool allPoints = false;  // GPX: route and track points too, not only waypoints
};

// Throws MapError (naming fileName and the line or feature) for a malformed document or one with
// no points at all.
MapReadResult ReadMapDocument(MapFormat format, const std::string& bytes, const std::string& fileName,
                              const MapReadOptions& options);
