#include "platform/win32/Win32Calls.h"

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
DWORD Win32Calls::GetFullPathName(const wchar_t* path, DWORD room, wchar_t* buffer) {
    return ::GetFullPathNameW(path, room, buffer, nullptr);
}
DWORD Win32Calls::GetCurrentDirectory(DWORD room, wchar_t* buffer) { return ::GetCurrentDirectoryW(room, buffer); }
DWORD Win32Calls::FormatSystemMessage(DWORD code, wchar_t* buffer, DWORD room) {
    return ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer, room, nullptr);
}

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
