#pragma once
// Places read from today's map formats (coordinates as the file has them, normally WGS 84).
#include <cstddef>
#include <string>

#include "maps/MapFormat.h"
#include "maps/Place.h"

struct MapReadOptions {
    bool allPoints = false;  // GPX: route and track points too, not only waypoints
};

// The largest document read: a parsed document takes several times its size in memory. A GPX
// of 100,000 waypoints is about 12 MB. Callers check the file's size before reading it.
constexpr std::size_t kMaxMapDocumentBytes = 32u * 1024 * 1024;

// Names and readings UTF-8, empty names made "地点 N". bytes is taken by value because XML is
// parsed in it, in place: pass it with std::move. Throws MapError (naming fileName and the line
// or feature) for a document larger than kMaxMapDocumentBytes, a malformed one, or one with no
// points at all; points that cannot be used are refused in the result.
MapReadResult ReadMapDocument(MapFormat format, std::string bytes, const std::string& fileName,
                              const MapReadOptions& options);
