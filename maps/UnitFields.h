#pragma once
// The navigation unit's fields as its two formats hold them.
#include <string>

#include "platform/CString.h"

// The DMS text the store gives for this angle: a whole number of 1/256 s (what a memory point
// holds) formatted as the store formats it, anything else to the nearest thousandth.
CString DegreesToDms(double degrees);
// CP932 text cut to the unit's 16 bytes without splitting a character.
std::string CutUnitField(const std::string& cp932);
