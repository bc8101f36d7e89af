#include "platform/HostSystem.h"

#include <climits>

#include "platform/posix/PosixCalls.h"

CString GetCurrentFolder() {
    char buffer[PATH_MAX];
    if (PosixCalls::Current().Getcwd(buffer, sizeof buffer) == nullptr) return CString();
    return CString(buffer);
}
