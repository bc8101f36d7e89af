#pragma once
// The point list's texts made safe for a terminal: Cp932ToTerminal and Utf8ToTerminal, which live
// with the listing they serve.
#include "pipeline/PointListing.h"
