#pragma once
// One place on its way between the navigation unit's files and today's map formats.
#include <memory>
#include <string>
#include <vector>

// The bytes a memory-point record held, kept so that they reach the unit's formats untouched
// (CP932 has characters with two codes).
struct RecordText {
    std::string name;
    std::string reading;
};

// How a place's coordinates were brought into the datum they are in now.
enum class DatumMethod { none, grid, helmert };

// The word the outputs and the listing use for it.
inline const char* DatumMethodName(DatumMethod method) {
    switch (method) {
    case DatumMethod::grid:
        return "grid";
    case DatumMethod::helmert:
        return "helmert";
    case DatumMethod::none:
        break;
    }
    return "none";
}

struct Place {
    std::string name;     // UTF-8, as the user should see it (never cut)
    std::string reading;  // UTF-8; empty when there is none
    std::string digits;   // the memory point's digit string (a phone number); ASCII
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    DatumMethod method = DatumMethod::none;
    std::string origin;   // where it came from, for messages: "3 行目", "地点 4", "feature 2"
    // Set for a memory point with a name or a reading; shared, so that a place stays small.
    std::shared_ptr<const RecordText> record;
};

// What a reader makes of one file. A point that cannot be used is refused with a warning and
// counted; the file's other points are still delivered, and the caller fails the input.
struct MapReadResult {
    std::vector<Place> places;
    std::vector<std::string> warnings;  // one line each (UTF-8), naming the file and the point
    int refused = 0;
};
