#include "platform/HostSystem.h"

#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

CString GetCurrentFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = Win32Calls::Current().GetCurrentDirectory(MAX_PATH, buffer);
    // Zero is a failure; a length not below the room means the folder does not fit.
    if (length == 0 || length >= MAX_PATH) return CString();
    return CString(WideToUtf8(buffer, static_cast<int>(length)));
}

// The Windows program is a dialog; nothing interrupts it halfway through a document.
void RemoveTempFilesOnSignals() {}

// Only the command-line converter compares names, and it is not built for Windows.
CString FileIdentity(const CString& strPath) { return strPath; }

bool IsRegularFile(const CString& strPath) {
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(strPath.Str()).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
