#include "platform/win32/Win32Calls.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>

HANDLE Win32Calls::CreateFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return ::CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}
BOOL Win32Calls::ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read) {
    return ::ReadFile(file, buffer, count, read, nullptr);
}
BOOL Win32Calls::WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written) {
    return ::WriteFile(file, buffer, count, written, nullptr);
}
BOOL Win32Calls::GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) { return ::GetFileSizeEx(file, size); }
BOOL Win32Calls::FlushFileBuffers(HANDLE file) { return ::FlushFileBuffers(file); }
BOOL Win32Calls::CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }
BOOL Win32Calls::MoveFileEx(const wchar_t* from, const wchar_t* to, DWORD flags) {
    return ::MoveFileExW(from, to, flags);
}
BOOL Win32Calls::DeleteFile(const wchar_t* path) { return ::DeleteFileW(path); }
BOOL Win32Calls::CreateDirectory(const wchar_t* path) { return ::CreateDirectoryW(path, nullptr); }
BOOL Win32Calls::RemoveDirectory(const wchar_t* path) { return ::RemoveDirectoryW(path); }
DWORD Win32Calls::GetTempPath(DWORD room, wchar_t* buffer) { return ::GetTempPathW(room, buffer); }
DWORD Win32Calls::GetFullPathName(const wchar_t* path, DWORD room, wchar_t* buffer) {
    return ::GetFullPathNameW(path, room, buffer, nullptr);
}
DWORD Win32Calls::GetCurrentDirectory(DWORD room, wchar_t* buffer) { return ::GetCurrentDirectoryW(room, buffer); }
std::wstring Win32Calls::FullPath(const std::wstring& name) {
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFullPathName(name.c_str(), static_cast<DWORD>(full.size()), &full[0]);
        if (length == 0) return std::wstring();
        if (length < full.size()) return full.substr(0, length);
        full.assign(length, L'\0');  // the room needed, terminator included
    }
    return std::wstring();
}
BOOL Win32Calls::FindFile(const wchar_t* path, WIN32_FIND_DATAW* found) {
    HANDLE search = ::FindFirstFileW(path, found);
    if (search == INVALID_HANDLE_VALUE) return FALSE;
    ::FindClose(search);
    return TRUE;
}
DWORD Win32Calls::FindMatches(const wchar_t* pattern, std::vector<WIN32_FIND_DATAW>& entries) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    do {
        entries.push_back(found);
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    return error == ERROR_NO_MORE_FILES ? 0 : error;
}
DWORD Win32Calls::ListFolder(const wchar_t* folder, std::vector<WIN32_FIND_DATAW>& entries) {
    std::vector<WIN32_FIND_DATAW> found;
    const DWORD error = FindMatches((std::wstring(folder) + L"*").c_str(), found);
    for (const WIN32_FIND_DATAW& entry : found)
        if (std::wstring(entry.cFileName) != L"." && std::wstring(entry.cFileName) != L"..") entries.push_back(entry);
    return error;
}
BOOL Win32Calls::GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    return ::GetFileInformationByHandle(file, info);
}
DWORD Win32Calls::GetFileAttributes(const wchar_t* path) { return ::GetFileAttributesW(path); }
DWORD Win32Calls::GetModuleFileName(wchar_t* buffer, DWORD room) { return ::GetModuleFileNameW(nullptr, buffer, room); }
BOOL Win32Calls::GetDocumentsFolder(wchar_t* buffer) {
    return ::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK;
}
DWORD Win32Calls::FormatSystemMessage(DWORD code, wchar_t* buffer, DWORD room) {
    return ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer, room, nullptr);
}

HANDLE Win32Calls::GetStdHandle(DWORD which) { return ::GetStdHandle(which); }
BOOL Win32Calls::WriteStandardOutput(const void* buffer, DWORD count, DWORD* written) {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        *written = 0;
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return ::WriteFile(output, buffer, count, written, nullptr);
}
BOOL Win32Calls::GetConsoleMode(HANDLE console, DWORD* mode) { return ::GetConsoleMode(console, mode); }
BOOL Win32Calls::WriteConsole(HANDLE console, const wchar_t* text, DWORD count, DWORD* written) {
    return ::WriteConsoleW(console, text, count, written, nullptr);
}
DWORD Win32Calls::CommandLineArguments(std::vector<std::wstring>& arguments) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return ::GetLastError();
    for (int i = 0; i < count; ++i) arguments.emplace_back(wide[i]);
    ::LocalFree(wide);
    return 0;
}
BOOL Win32Calls::SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) { return ::SetConsoleCtrlHandler(handler, add); }
const wchar_t* Win32Calls::CommandLine() { return ::GetCommandLineW(); }
const wchar_t* Win32Calls::Getenv(const wchar_t* name) { return ::_wgetenv(name); }
DWORD Win32Calls::GetCurrentProcessId() { return ::GetCurrentProcessId(); }
ULONGLONG Win32Calls::GetTickCount64() { return ::GetTickCount64(); }
BOOL Win32Calls::DeleteInHandler(const wchar_t* path) { return ::DeleteFileW(path); }

namespace {
Win32Calls g_realCalls;
Win32Calls* g_calls = &g_realCalls;
}  // namespace

Win32Calls& Win32Calls::Current() { return *g_calls; }

Win32Calls* Win32Calls::Replace(Win32Calls* calls) {
    Win32Calls* previous = g_calls;
    g_calls = calls ? calls : &g_realCalls;
    return previous;
}
