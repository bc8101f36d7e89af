#pragma once
// The lines of a glorie POI document, as data. Each "%s" in a line takes the next of its fields.
#include <cstddef>

namespace glorie {

enum class Field {
    latitude,
    longitude,
    name,
    reading
};

enum class When {
    always,
    hasReading,  // only for an entry whose reading is not empty
};

struct Line {
    const char* text;  // without the line end
    When when;
    Field fields[2];
    bool attribute;  // the fields go into an attribute value, so quotation marks are escaped too
};

constexpr const char* kLineEnd = "\r\n";

extern const Line kHeaderLines[];
extern const std::size_t kHeaderLineCount;
extern const Line kEntryLines[];
extern const std::size_t kEntryLineCount;
extern const Line kClosingLines[];
extern const std::size_t kClosingLineCount;

}  // namespace glorie
