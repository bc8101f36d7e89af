#pragma once
// Host services outside files.
#include "platform/CString.h"

// The current drive's current directory, as _getdcwd gives it; empty when it cannot be had.
CString GetCurrentFolder();
