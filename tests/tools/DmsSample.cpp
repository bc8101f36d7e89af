// Prints a fixed slice of the DMS texts the store can produce with their decimal-degree texts,
// one "DMS<TAB>degrees" line each. Built for Linux and for Windows, so the two outputs can be
// compared byte for byte: any platform difference in the floating-point product shows.
#include <cstdint>
#include <cstdio>

#include "convert/DmsToDegreeText.h"
#include "mempoint/CMemPointStore.h"

int main() {
    constexpr std::uint32_t kSeconds200Degrees = 200u * 3600u;
    // A prime stride walks through every fraction and every rounding neighbourhood.
    constexpr std::uint32_t kStride = 997;
    char dms[16];
    for (std::uint32_t value = 0; value < kSeconds200Degrees * 256u; value += kStride) {
        CMemPointStore::FormatDms(dms, value);
        CString text(dms);
        DmsToDegreeText(text);
        std::printf("%s\t%s\n", dms, text.GetString());
    }
    return 0;
}
