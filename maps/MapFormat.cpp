#include "maps/MapFormat.h"

#include <cctype>

namespace {
struct Named {
    const char* name;
    MapFormat format;
};
constexpr Named kFormats[] = {
    {"gpx", MapFormat::gpx}, {"kml", MapFormat::kml}, {"geojson", MapFormat::geojson}, {"csv", MapFormat::csv}};
}  // namespace

bool MapFormatFromName(const std::string& name, MapFormat& format) {
    for (const Named& named : kFormats) {
        if (name != named.name) continue;
        format = named.format;
        return true;
    }
    return false;
}

bool MapFormatFromPath(const std::string& path, MapFormat& format) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "json") ext = "geojson";
    return MapFormatFromName(ext, format);
}

const char* MapFormatName(MapFormat format) {
    for (const Named& named : kFormats)
        if (named.format == format) return named.name;
    return "gpx";
}
