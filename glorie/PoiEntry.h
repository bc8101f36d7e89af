#pragma once
#include <cstdint>

#include "platform/CString.h"

// One row of the POI table; texts are CP932 bytes as the store gave them. What every entry's
// document block holds alike (its category, media id, no activation) is the document's text.
struct PoiEntry {
    std::int16_t index = -1;  // -1: free
    CString name;
    CString reading;
    CString longitude;
    CString latitude;
    CString digits;
};
