#pragma once
// GPX 1.1 and 1.0: waypoints, and route and track points when asked for.
#include "maps/MapReader.h"
#include "maps/PlaceCollector.h"
#include "maps/XmlSource.h"

// Returns how many route and track points were passed over (none with options.allPoints).
// Throws MapError when the document is no GPX.
int ReadGpx(const XmlSource& source, const MapReadOptions& options, PlaceCollector& places);
