#pragma once
// The navigation unit's fields as its two formats hold them.
#include <cstddef>
#include <string>
#include <vector>

#include "places/Place.h"
#include "platform/CString.h"

// The DMS text the store gives for this angle: a whole number of 1/256 s (what a memory point
// holds) formatted as the store formats it, anything else to the nearest thousandth.
CString DegreesToDms(double degrees);
// CP932 text cut to the unit's 16 bytes without splitting a character.
std::string CutUnitField(const std::string& cp932);
std::string CutUnitField(std::string&& cp932);  // cut in place
// The first count characters of a UTF-8 text: every character takes a byte of the unit's field
// at least, so the first 17 tell whether a text fits its 16 bytes, and converting no more keeps a
// 30 MB name from costing seconds.
std::string FirstCharacters(const std::string& text, std::size_t count);
std::string FirstCharacters(std::string&& text, std::size_t count);  // cut in place
// The unit's texts of a place: its memory point's own, or its name and reading in CP932, cut to
// the unit's fields. A reading is kept as written where it fits (so that a memory point's reading
// comes back byte for byte through a map file); a longer one is made half-width katakana to fit.
// unmapped, when given, collects the characters CP932 lacks (each made "?"). The writers of the
// unit's formats make each place's record as they write it, so that a large input never holds a
// record for every place.
RecordText UnitRecord(const Place& place, std::vector<std::string>* unmapped = nullptr);
// UnitRecord's unmapped characters alone, the record not made.
void UnitRecordUnmapped(const Place& place, std::vector<std::string>& unmapped);
