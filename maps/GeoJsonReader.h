#pragma once
// GeoJSON: the Point and MultiPoint features of a FeatureCollection or a single Feature, and a
// map service's saved-places export (names in Title or Location."Business Name").
#include <string>

#include "maps/PlaceCollector.h"

// Throws MapError naming the file and the line for JSON that is not well-formed or no GeoJSON.
void ReadGeoJson(const std::string& bytes, PlaceCollector& places);
