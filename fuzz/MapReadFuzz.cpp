// Arbitrary bytes through one format's reader (QUORVEL_FUZZ_FORMAT: a name of the format table),
// then what it read through the same format's writer and reader again (a format only read has
// none), all in memory.
// A MapError is a refusal of the input and must name the file; anything read must be usable.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzHosts.h"
#include "text/Cp932Text.h"
#include "formats/FormatRegistry.h"
#include "text/MapError.h"
#include "formats/UnitFields.h"
#include "platform/CSaveFile.h"
#include "support/MemoryCalls.h"

using fuzzcheck::Require;

namespace {
const Format& TheFormat() {
    static const Format* const format = FormatRegistry::FindRow(QUORVEL_FUZZ_FORMAT);
    if (!format) fuzzcheck::Fail("no format " QUORVEL_FUZZ_FORMAT);
    return *format;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t code = lead;
        if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
        else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
        else if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
        else if (lead >= 0x80) return false;
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto trail = static_cast<unsigned char>(text[i + k]);
            if ((trail & 0xC0) != 0x80) return false;
            code = (code << 6) | (trail & 0x3F);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        i += length;
    }
    return true;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The memory-point file's reader gives each record's coordinates as the record holds them, any
// angle its fields can: the conversion refuses those off the map (Conversion::Read), as it does
// the other readers' that get past them.
bool KeepsEveryRecord(const Format& format) { return std::string(format.name) == "mem"; }

bool InRange(const Place& place, const Format& format) {
    const double low = format.unit ? 0 : -1;
    return place.latitude >= 90 * low && place.latitude <= 90 && place.longitude >= 180 * low && place.longitude <= 180;
}

// Every reader's promise about what it returns. The unit's document holds no point south or west.
void CheckRead(const MapReadResult& result, const std::string& fileName, const Format& format) {
    for (const Place& place : result.places) {
        Require(std::isfinite(place.latitude) && std::isfinite(place.longitude), "a place without finite coordinates");
        Require(KeepsEveryRecord(format) || InRange(place, format),
                "a place out of range: " + std::to_string(place.latitude) + ", " + std::to_string(place.longitude));
        Require(IsUtf8(place.Name()) && IsUtf8(place.Reading()), "a name or reading is not UTF-8 (" + place.Origin().Text() + ")");
        Require(format.unit || place.HasName(), "a place without a name (" + place.Origin().Text() + ")");
        Require(!place.Origin().Text().empty(), "a place that does not say where it came from");
        for (const char digit : place.Digits()) Require(digit >= '0' && digit <= '9', "digits that are not digits");
    }
    int refusals = 0;
    for (const Message& said : result.warnings) {
        const std::string warning = Words(said);
        Require(StartsWith(warning, fileName + ": "), "a warning that does not name the file: " + warning);
        Require(IsUtf8(warning) && warning.find('\n') == std::string::npos, "a warning that is not one UTF-8 line");
        refusals += EndsWith(warning, "。この地点は読みません") || EndsWith(warning, "が正しくないため変換しません");
    }
    Require(result.refused == refusals, "refused " + std::to_string(result.refused) + " but " +
                                            std::to_string(refusals) + " refusals warned");
    // Only the unit's document may come back empty: the others throw for a file without points.
    Require(format.unit || !result.places.empty() || result.refused > 0, "nothing read and nothing refused");
}

// The places as the writer gets them in a conversion: the unit's record texts made from the names.
std::vector<Place> Writable(const MapReadResult& result, const Format& format) {
    std::vector<Place> places;
    for (const Place& place : result.places)
        if (InRange(place, format)) places.push_back(place);
    if (format.pointsPerFile > 0 && places.size() > static_cast<std::size_t>(format.pointsPerFile))
        places.resize(static_cast<std::size_t>(format.pointsPerFile));
    if (format.unit)
        for (Place& place : places)
            place.SetRecord(RecordText{CutUnitField(Utf8ToCp932(place.Name())), CutUnitField(Utf8ToCp932(place.Reading()))});
    return places;
}

// What the writer makes of the places reads back as the same places, at the same positions to the
// written precision (7 decimals; the unit's thousandths of a second).
void CheckRoundTrip(const std::vector<Place>& places, const Format& format) {
    const std::string outName = std::string("out") + format.extensions[0];
    MemoryCalls calls("/mem");
    {
        CSaveFile file;
        Require(file.Open(CString(outName)), "the output cannot be opened");
        WritePlaces(format, file, places.data(), places.size(), WriteOptions{});
        file.Commit();
    }
    MapReadResult again;
    try {
        again = format.read(calls.File("/mem/" + outName), outName, ReadOptions{});
    } catch (const MapError& error) {
        fuzzcheck::Fail(std::string("the written document is refused: ") + error.what());
    }
    Require(again.places.size() == places.size() && again.refused == 0,
            "wrote " + std::to_string(places.size()) + " places, read back " + std::to_string(again.places.size()) +
                " and " + std::to_string(again.refused) + " refused");
    // A glorie document holds five decimals: a point read with more comes back rounded to them
    // (half of 1e-5, and the 1/1000 s of the unit's DMS text on the way).
    const double tolerance = format.unit ? 6e-6 : 1e-7;
    for (std::size_t i = 0; i < places.size(); ++i)
        Require(std::fabs(again.places[i].latitude - places[i].latitude) <= tolerance &&
                    std::fabs(again.places[i].longitude - places[i].longitude) <= tolerance,
                "place " + std::to_string(i + 1) + " moved in the round trip");
}

// The result of one read, or false for a refused input (whose message names the file).
bool Read(const std::string& bytes, const std::string& fileName, const ReadOptions& options, MapReadResult& result) {
    try {
        result = TheFormat().read(bytes, fileName, options);
        return true;
    } catch (const MapError& error) {
        const std::string message = error.what();
        Require(StartsWith(message, fileName), "a refusal that does not name the file: " + message);
        Require(IsUtf8(message), "a refusal that is not UTF-8");
        return false;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Format& format = TheFormat();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // A format only read has no extension of its own: a text file's serves.
    const std::string fileName = std::string("in") + (format.extensions[0] ? format.extensions[0] : ".txt");
    MapReadResult result;
    const bool read = Read(bytes, fileName, ReadOptions{}, result);
    if (read) CheckRead(result, fileName, format);

    // GPX: route and track points too, which keeps every waypoint and may add more.
    if (std::string(format.name) == "gpx") {
        ReadOptions options;
        options.allPoints = true;
        MapReadResult all;
        const bool readAll = Read(bytes, fileName, options, all);
        Require(readAll || !read, "a document read without its routes and tracks is refused with them");
        if (readAll) {
            CheckRead(all, fileName, format);
            Require(all.places.size() >= result.places.size() && all.refused >= result.refused,
                    "all points gave fewer than the waypoints");
            result = std::move(all);
        }
    }
    if (!format.write) return 0;
    const std::vector<Place> writable = Writable(result, format);
    if (!writable.empty()) CheckRoundTrip(writable, format);
    return 0;
}
