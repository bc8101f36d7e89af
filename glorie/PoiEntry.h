#pragma once
#include <cstdint>

#include "platform/CString.h"

// One row of the POI table; texts are CP932 bytes as the store gave them.
struct PoiEntry {
    std::int16_t index = -1;  // -1: free
    CString name;
    CString reading;
    CString longitude;
    CString latitude;
    CString categorySuffix;
    CString digits;
    CString mediaId;
    CString outmost;
    CString directionCenter;
    std::int32_t activation = 0;
};
