#pragma once
#include "platform/CString.h"

// Replaces DMS text ("139.46.44.040") with decimal-degree text with five decimals ("139.77890").
void DmsToDegreeText(CString& text);
