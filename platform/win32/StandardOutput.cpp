#include "platform/StandardOutput.h"

#include <algorithm>

#include "platform/win32/Win32Calls.h"

bool StandardOutput::SendSome(const char* bytes, std::size_t count, std::size_t& taken, long& osError) {
    // WriteFile takes a DWORD of bytes; a pipe may take fewer.
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD written = 0;
    if (!Win32Calls::Current().WriteStandardOutput(bytes, chunk, &written)) {
        osError = static_cast<long>(::GetLastError());
        return false;
    }
    taken = written;
    return true;
}
