#pragma once
// Every Win32 call of the file layer goes through here, so that tests can fail any of them.
// A replacement reports failure as the real call does: a failing result and SetLastError.
#include <windows.h>

#include <string>
#include <vector>

class Win32Calls {
public:
    virtual ~Win32Calls() = default;
    virtual HANDLE CreateFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
    virtual BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read);
    virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written);
    virtual BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
    virtual BOOL FlushFileBuffers(HANDLE file);
    virtual BOOL CloseHandle(HANDLE handle);
    virtual BOOL MoveFileEx(const wchar_t* from, const wchar_t* to, DWORD flags);
    virtual BOOL DeleteFile(const wchar_t* path);
    virtual BOOL CreateDirectory(const wchar_t* path);
    virtual DWORD GetFullPathName(const wchar_t* path, DWORD room, wchar_t* buffer);
    virtual DWORD GetCurrentDirectory(DWORD room, wchar_t* buffer);
    // GetFullPathNameW with room enough for any length; empty (GetLastError set) when it fails.
    std::wstring FullPath(const std::wstring& name);
    // The entry of one file (FindFirstFileW, no pattern characters in path); FALSE with the error.
    virtual BOOL FindFile(const wchar_t* path, WIN32_FIND_DATAW* found);
    // The entries of a folder ("." and ".." left out): 0, or the error code.
    virtual DWORD ListFolder(const wchar_t* folder, std::vector<WIN32_FIND_DATAW>& entries);
    // The files a pattern (* and ? in its last part) matches: 0 (none is no failure), or the error code.
    virtual DWORD FindMatches(const wchar_t* pattern, std::vector<WIN32_FIND_DATAW>& entries);
    virtual BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
    virtual DWORD GetFileAttributes(const wchar_t* path);
    virtual DWORD GetModuleFileName(wchar_t* buffer, DWORD room);
    // The user's Documents folder into MAX_PATH characters at buffer; FALSE when there is none.
    virtual BOOL GetDocumentsFolder(wchar_t* buffer);
    // The system's text of an error code in the user's language: its length, 0 when there is none.
    virtual DWORD FormatSystemMessage(DWORD code, wchar_t* buffer, DWORD room);

    static Win32Calls& Current();
    // Installs calls (nullptr: the real ones again); returns the previous.
    static Win32Calls* Replace(Win32Calls* calls);
};
