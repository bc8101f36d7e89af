// The set writer on Windows: a lock file beside the set, opened without sharing and deleted when
// the run lets it go; the members replaced one after the other, then the stale ones removed.
#include "platform/OutputSet.h"

#include <algorithm>
#include <utility>

#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

namespace {
std::string FullPath(const std::string& name) {
    const std::wstring wide = Utf8ToWide(name);
    wchar_t buffer[MAX_PATH];
    const DWORD length = Win32Calls::Current().GetFullPathName(wide.c_str(), MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) return name;
    return WideToUtf8(std::wstring(buffer, length));
}
}  // namespace

std::string OutputSet::FullPathOf(const std::string& name) { return FullPath(name); }

OutputSet::OutputSet(CString strSetName) : m_strSetName(std::move(strSetName)) {
    const std::string full = FullPath(m_strSetName.Str());
    const std::size_t slash = full.find_last_of("\\/");
    m_strFolder = slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
    m_strBase = full.substr(m_strFolder.size());
}

OutputSet::~OutputSet() noexcept {
    for (auto& file : m_files) file->Abort();
    Unlock();
}

CFile& OutputSet::Add(const CString& strFileName) {
    if (!m_bTaken) Lock();
    m_bTaken = true;
    return OpenMember(strFileName);
}

void OutputSet::Lock() {
    m_bBusy = false;
    const std::wstring path = Utf8ToWide(m_strFolder + "." + m_strBase + ".lock");
    HANDLE lock = Win32Calls::Current().CreateFile(path.c_str(), GENERIC_WRITE, 0, OPEN_ALWAYS,
                                                   FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE);
    if (lock == INVALID_HANDLE_VALUE) {
        const long error = static_cast<long>(::GetLastError());
        m_bBusy = error == ERROR_SHARING_VIOLATION;
        throw CFileException(CFileException::OsErrorToException(error), error, m_strSetName);
    }
    m_hLock = reinterpret_cast<std::intptr_t>(lock);
}

void OutputSet::Unlock() noexcept {
    if (m_hLock == CFile::kInvalidHandle) return;
    Win32Calls::Current().CloseHandle(reinterpret_cast<HANDLE>(m_hLock));
    m_hLock = CFile::kInvalidHandle;
}

void OutputSet::Commit() {
    for (auto& file : m_files) file->Flush();
    for (auto& file : m_files) file->Close();
    m_files.clear();
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(Utf8ToWide(m_strFolder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        std::vector<std::string> stale;
        do {
            const std::string name = WideToUtf8(found.cFileName);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsMemberName(CString(m_strBase), CString(name)) &&
                std::find(m_names.begin(), m_names.end(), m_strFolder + name) == m_names.end())
                stale.push_back(m_strFolder + name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        for (const std::string& path : stale)
            if (Win32Calls::Current().DeleteFile(Utf8ToWide(path).c_str())) m_removed.emplace_back(path);
    }
    Unlock();
}
