#pragma once
// Reading and writing one format of the table from and to bytes, for the formats' tests.
#include <cstdio>
#include <string>
#include <vector>

#include "formats/FormatRegistry.h"
#include "places/Place.h"
#include "support/TempDir.h"
#include "text/ByteSink.h"

inline MapReadResult ReadAs(const char* format, std::string bytes, const std::string& fileName,
                            const ReadOptions& options = {}) {
    return FormatRegistry::Find(format)->read(std::move(bytes), fileName, options);
}

inline std::string WriteAs(const char* format, const std::vector<Place>& places, const WriteOptions& options = {}) {
    StringSink sink;
    WritePlaces(*FormatRegistry::Find(format), sink, places.data(), places.size(), options);
    return sink.Take();
}

// One place a line: name|reading|digits|latitude|longitude|origin.
inline std::string Summary(const MapReadResult& result) {
    std::string text;
    for (const Place& p : result.places) {
        char coordinates[64];
        std::snprintf(coordinates, sizeof coordinates, "%.7f|%.7f", p.latitude, p.longitude);
        text += p.Name() + "|" + p.Reading() + "|" + p.Digits() + "|" + coordinates + "|" + p.Origin().Text() + "\n";
    }
    return text;
}

inline std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}
inline std::string Joined(const std::vector<Message>& lines, Language language = Language::ja) {
    std::string text;
    for (const Message& line : lines) text += Words(line, language) + "\n";
    return text;
}
