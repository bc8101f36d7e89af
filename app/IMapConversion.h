#pragma once
// What the dialog asks of the conversion (maps/, above this folder in the build): a memory-point
// file into the one document the user chose, and a file of another kind into glorie documents,
// as the command line's "--to glorie" makes them. The front ends wire it up
// (maps/DialogConversion.h).
#include <cstddef>
#include <string>
#include <vector>

#include "convert/ConversionDriver.h"
#include "platform/CString.h"

struct InputKind {
    std::string title;     // "GPX"
    std::string patterns;  // "*.gpx", several joined by ';'
};

struct MapConversionOutcome {
    std::vector<std::string> notes;     // warnings and refused points, UTF-8, the first ones only
    std::size_t notesLeftOut = 0;       // the notes after those, counted
    std::vector<std::string> failures;  // what stopped a document, and the count of points left out
    std::vector<CString> outputs;       // the documents written
    std::size_t points = 0;             // the points in them
};

class IMapConversion {
public:
    virtual ~IMapConversion() = default;
    // The kinds read besides memory-point files, for the browse filter.
    virtual std::vector<InputKind> InputKinds() const = 0;
    // True when strInput is converted here rather than by the memory-point store: decided by its
    // name, as the command line decides it.
    virtual bool Takes(const CString& strInput) const = 0;
    // A memory-point file (or a name no other kind takes) into strOutput, replaced whole or not at all.
    virtual MemPointOutcome ConvertMemPoints(const CString& strInput, const CString& strOutput) = 0;
    // strInput into strOutput (NAME-1.xml, NAME-2.xml, ... past a document's 700 points); at most
    // notesKept notes are kept.
    virtual MapConversionOutcome Convert(const CString& strInput, const CString& strOutput, std::size_t notesKept) = 0;
    // The points a conversion of strInput writes (those the unit cannot hold left out): read now,
    // so that the names of the files can be shown before converting. False when the input cannot
    // be read; the conversion says why.
    virtual bool CountPoints(const CString& strInput, std::size_t& points) = 0;
    // The files a conversion of points into strOutput writes: strOutput, or its numbered set.
    virtual std::vector<CString> OutputNames(const CString& strOutput, std::size_t points) const = 0;
};
