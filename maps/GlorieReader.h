#pragma once
// A glorie document read back: the one this program writes and the one the unit writes.
#include <string>

#include "maps/Place.h"

// True when the bytes start like a glorie document (after an optional BOM and blank space).
bool LooksLikeGlorie(const std::string& bytes);

// Names and readings come out as UTF-8, coordinates in the Tokyo datum as written. Throws
// MapError naming fileName and the line for anything that is not a glorie document.
MapReadResult ReadGlorieDocument(const std::string& bytes, const std::string& fileName);
