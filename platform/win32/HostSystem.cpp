#include "platform/HostSystem.h"

#include <cstdint>
#include <cstdio>

#include "platform/CFileException.h"

#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

CString GetCurrentFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = Win32Calls::Current().GetCurrentDirectory(MAX_PATH, buffer);
    // Zero is a failure; a length not below the room means the folder does not fit.
    if (length == 0 || length >= MAX_PATH) return CString();
    return CString(WideToUtf8(buffer, static_cast<int>(length)));
}

namespace {
// The system's words for a failed call's code, with the code.
std::string SystemText(DWORD code) { return CFileException::OsErrorText(static_cast<long>(code)); }

// The volume and the index of an existing file or folder: equal for every name of one file
// (another spelling, another case, a short name, a hard link). False when it cannot be opened.
bool FileIndexOf(const std::wstring& path, std::string& key) {
    Win32Calls& calls = Win32Calls::Current();
    HANDLE handle = calls.CreateFile(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL known = calls.GetFileInformationByHandle(handle, &info);
    calls.CloseHandle(handle);
    if (!known) return false;
    char text[32];
    std::snprintf(text, sizeof text, "%08lx:%08lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                  static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
    key = text;
    return true;
}

// Names differ only in case for the file system: compared upper-cased, as it compares them.
std::string Upper(std::wstring text) {
    if (!text.empty()) ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return WideToUtf8(text);
}
}  // namespace

// An existing file is known by its volume and index; a file not yet made by its folder's and
// its own name; a name whose folder is missing by its full path.
CString FileIdentity(const CString& strPath) {
    const std::wstring full = Win32Calls::Current().FullPath(Utf8ToWide(strPath.Str()));
    if (full.empty()) return strPath;
    std::string key;
    if (FileIndexOf(full, key)) return CString("file " + key);
    const std::size_t separator = full.find_last_of(L"\\/");
    if (separator != std::wstring::npos && FileIndexOf(full.substr(0, separator + 1), key))
        return CString("in " + key + " " + Upper(full.substr(separator + 1)));
    return CString("path " + Upper(full));
}

CString ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = Win32Calls::Current().GetModuleFileName(&path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return CString();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return CString();
        path.resize(path.size() * 2);  // cut short: ask again with more room
    }
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? CString() : CString(WideToUtf8(path.substr(0, separator)));
}

CString DocumentsFolder() {
    wchar_t path[MAX_PATH] = {};
    return Win32Calls::Current().GetDocumentsFolder(path) ? CString(WideToUtf8(path)) : CString();
}

bool IsRegularFile(const CString& strPath) {
    const DWORD attributes = Win32Calls::Current().GetFileAttributes(Utf8ToWide(strPath.Str()).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const CString& strPath) {
    const DWORD attributes = Win32Calls::Current().GetFileAttributes(Utf8ToWide(strPath.Str()).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadStandardInput(std::string& bytes, std::string& error) {
    Win32Calls& calls = Win32Calls::Current();
    const HANDLE input = calls.GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE) {
        error = SystemText(::GetLastError());
        return false;
    }
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!calls.ReadFile(input, buffer, sizeof buffer, &read)) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_BROKEN_PIPE) return true;  // the writer has closed its end
            error = SystemText(code);
            return false;
        }
        if (read == 0) return true;
        bytes.append(buffer, read);
    }
}

CString MakeTemporaryFolder(std::string& error) {
    Win32Calls& calls = Win32Calls::Current();
    wchar_t base[MAX_PATH + 1];
    const DWORD length = calls.GetTempPath(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH) {
        error = SystemText(length == 0 ? ::GetLastError() : ERROR_FILENAME_EXCED_RANGE);
        return CString();
    }
    const std::wstring folder(base, length);
    DWORD code = ERROR_ALREADY_EXISTS;
    for (unsigned attempt = 0; attempt < 100 && code == ERROR_ALREADY_EXISTS; ++attempt) {
        const std::wstring made = folder + L"quorvel-" + std::to_wstring(calls.GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
        if (calls.CreateDirectory(made.c_str())) return CString(WideToUtf8(made));
        code = ::GetLastError();
    }
    error = WideToUtf8(folder) + ": " + SystemText(code);  // where it was to be made, and why not
    return CString();
}

CString EnvironmentText(const char* name) {
    const wchar_t* value = Win32Calls::Current().Getenv(Utf8ToWide(name).c_str());
    return value ? CString(WideToUtf8(value)) : CString();
}

std::int64_t MonotonicMicroseconds() { return static_cast<std::int64_t>(Win32Calls::Current().GetTickCount64()) * 1000; }

CString UserStateFolder() {
    const wchar_t* local = Win32Calls::Current().Getenv(L"LOCALAPPDATA");
    if (!local || !local[0]) return CString();
    const std::wstring folder(local);
    // A full path only: a drive and its root, or a share.
    const bool bFull = (folder.size() >= 3 && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/')) ||
                       folder.compare(0, 2, L"\\\\") == 0;
    if (!bFull) return CString();
    return CString(WideToUtf8(folder + (folder.back() == L'\\' || folder.back() == L'/' ? L"" : L"\\") + L"Quorvel"));
}

bool RemovePath(const CString& strPath, bool bFolder, std::string* pError) {
    Win32Calls& calls = Win32Calls::Current();
    const std::wstring path = Utf8ToWide(strPath.Str());
    if (bFolder ? calls.RemoveDirectory(path.c_str()) : calls.DeleteFile(path.c_str())) return true;
    const DWORD code = ::GetLastError();
    if (pError) *pError = strPath.Str() + ": " + SystemText(code);
    return false;
}

bool MakeFolder(const CString& strPath, std::string& error) {
    if (Win32Calls::Current().CreateDirectory(Utf8ToWide(strPath.Str()).c_str())) return true;
    error = SystemText(::GetLastError());
    return false;
}
