#pragma once
// An include from the lowest layer up into places/ of a header with no code to link: only the
// include check catches it.
#include "places/PlaceKeys.h"
