// A call from the lowest layer up into the converter, which the layer does not link.
#include "convert/DmsToDegreeText.h"

void QuorvelLayerProbe(CString& text) { DmsToDegreeText(text); }
