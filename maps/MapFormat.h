#pragma once
// The map formats the converter reads and writes besides its own two.
#include <string>

enum class MapFormat { gpx, kml, geojson, csv };

// "gpx", "kml", "geojson", "csv".
bool MapFormatFromName(const std::string& name, MapFormat& format);
// By extension, any letter case: .gpx .kml .geojson .json .csv.
bool MapFormatFromPath(const std::string& path, MapFormat& format);
const char* MapFormatName(MapFormat format);
