#include "formats/FormatOptions.h"

namespace {
constexpr FormatOption AllPoints() {
    FormatOption option{};
    option.word = "--all-points";
    option.japanese = "GPX のルートとトラック、KML と GeoJSON の線と面の頂点も読みます";
    option.english = "Also read the vertices of GPX routes and tracks and of KML and GeoJSON lines and areas";
    option.use = FormatOptionUse::read;
    option.apply = [](ReadOptions& read, WriteOptions&, int value) { read.allPoints = value != 0; };
    return option;
}
}  // namespace

extern const FormatOption kAllPointsOption = AllPoints();
