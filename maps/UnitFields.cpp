#include "maps/UnitFields.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "convert/CPoiTable.h"
#include "platform/Cp932Text.h"
#include "mempoint/CMemPointStore.h"

CString DegreesToDms(double degrees) {
    const double sixteenths = degrees * 3600.0 * 256.0;
    const double whole = std::nearbyint(sixteenths);
    char buffer[16];
    if (std::fabs(sixteenths - whole) < 1e-6) {
        CMemPointStore::FormatDms(buffer, static_cast<std::uint32_t>(whole));
        return CString(buffer);
    }
    const auto total = static_cast<std::uint64_t>(std::llround(degrees * 3600000.0));
    const std::uint64_t seconds = total / 1000;
    std::snprintf(buffer, sizeof buffer, "%3u.%02u.%02u.%03u", static_cast<unsigned>(seconds / 3600),
                  static_cast<unsigned>(seconds % 3600 / 60), static_cast<unsigned>(seconds % 60),
                  static_cast<unsigned>(total % 1000));
    return CString(buffer);
}

std::string CutUnitField(const std::string& cp932) {
    char cut[CPoiTable::kNameLimit + 1];
    CopyCp932Truncated(cut, cp932.c_str(), CPoiTable::kNameLimit);
    return cut;
}
