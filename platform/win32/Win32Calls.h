#pragma once
// Every Win32 call of the core goes through here, so that tests can fail any of them; the calls
// are the rows of Win32Calls.inc. A replacement reports failure as the real call does: a failing
// result and SetLastError.
#include <windows.h>

#include <string>
#include <vector>

class Win32Calls {
public:
    virtual ~Win32Calls() = default;
#define QUORVEL_WIN32_CALL(name, result, parameters, arguments, shape, failed) virtual result name parameters;
#include "platform/win32/Win32Calls.inc"
#undef QUORVEL_WIN32_CALL

    // GetFullPathNameW with room enough for any length; empty (GetLastError set) when it fails.
    std::wstring FullPath(const std::wstring& name);

    // For the console's control handler, the last resort of a program being stopped: removes the
    // file through the system itself, never through calls a test replaced.
    static BOOL DeleteInHandler(const wchar_t* path);

    static Win32Calls& Current();
    // Installs calls (nullptr: the real ones again); returns the previous.
    static Win32Calls* Replace(Win32Calls* calls);
};
