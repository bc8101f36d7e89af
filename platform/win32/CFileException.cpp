#include "platform/CFileException.h"

#include <windows.h>

#include <string>

#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

// Every failure maps to a cause, so a failed call is never taken for "no error".
int CFileException::OsErrorToException(long lOsError) {
    switch (static_cast<DWORD>(lOsError)) {
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK: return badSeek;
    case ERROR_CRC:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE: return hardIO;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return generic;
    }
}

std::string CFileException::OsErrorText(long lOsError) {
    const std::string code = "(error " + std::to_string(static_cast<unsigned long>(lOsError)) + ")";
    wchar_t buffer[512];
    DWORD length = Win32Calls::Current().FormatSystemMessage(static_cast<DWORD>(lOsError), buffer, 512);
    // The system's text ends with a line break (and often a full stop) that a one-line report does not want.
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' ' ||
                          buffer[length - 1] == L'.'))
        --length;
    return length == 0 ? "unknown error " + code : WideToUtf8(buffer, static_cast<int>(length)) + " " + code;
}
