#pragma once
// Options more than one row of the format table takes: one declaration each, so that the command
// line, --help and the page know them once.
#include "places/Format.h"

// --all-points: the vertices of routes, tracks, lines and areas read as places too.
extern const FormatOption kAllPointsOption;
