#pragma once
// Names and readings typed over an input's points (the page's table), applied by Conversion.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "platform/CString.h"

struct ConversionMessage;

struct PointEdit {
    bool hasName = false, hasReading = false;
    std::string name, reading;  // UTF-8, as typed
};

struct InputEdits {
    // By the input's name as the conversion is given it, then the point's index in the input.
    std::map<std::string, std::map<std::size_t, PointEdit>> points;
    // Where each edited input is written under its own file name: the input itself is never touched.
    CString folder;
};

// strInput read, its points edited and written whole by its own format's writer as strEdited, so
// that converting strEdited is converting the input as edited (the unit's cut and refusals
// included). False when there is no such document: with a failure message when the input cannot
// be read, edited or written; without one when it is of no known format (its conversion says so).
bool WriteEditedInput(const CString& strInput, const std::map<std::size_t, PointEdit>& edits, const CString& strEdited,
                      std::vector<ConversionMessage>& messages);
