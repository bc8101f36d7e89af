#include "platform/CFile.h"

#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

namespace {
HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
}  // namespace

CFile::~CFile() noexcept { Abort(); }

bool CFile::Open(const CString& strFileName, unsigned nOpenFlags, CFileException* pError) {
    Abort();
    Win32Calls& calls = Win32Calls::Current();
    const std::wstring wideName = Utf8ToWide(strFileName.Str());
    const std::wstring expanded = calls.FullPath(wideName);
    const std::wstring fullPath = expanded.empty() ? wideName : expanded;
    // A reader that lets others read shares the file with other readers only.
    const DWORD shareMode = (nOpenFlags & shareDenyWrite) ? FILE_SHARE_READ : 0;
    HANDLE file = calls.CreateFile(fullPath.c_str(), GENERIC_READ, shareMode, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) {
        const long error = static_cast<long>(::GetLastError());
        if (pError) *pError = CFileException(CFileException::OsErrorToException(error), error, strFileName);
        return false;
    }
    m_hFile = reinterpret_cast<std::intptr_t>(file);
    m_strFileName = CString(WideToUtf8(fullPath));
    return true;
}

std::uint64_t CFile::GetLength() const {
    LARGE_INTEGER size;
    if (!Win32Calls::Current().GetFileSizeEx(AsHandle(m_hFile), &size)) ThrowOsError(static_cast<long>(::GetLastError()));
    return static_cast<std::uint64_t>(size.QuadPart);
}

unsigned CFile::Read(void* lpBuf, unsigned nCount) {
    DWORD read = 0;
    if (!Win32Calls::Current().ReadFile(AsHandle(m_hFile), lpBuf, nCount, &read))
        ThrowOsError(static_cast<long>(::GetLastError()));
    return read;
}

void CFile::Close() {
    if (!IsOpen()) return;
    HANDLE file = AsHandle(m_hFile);
    m_hFile = kInvalidHandle;
    if (!Win32Calls::Current().CloseHandle(file)) ThrowOsError(static_cast<long>(::GetLastError()));
}

void CFile::Abort() noexcept {
    if (m_hFile != kInvalidHandle) Win32Calls::Current().CloseHandle(AsHandle(m_hFile));
    m_hFile = kInvalidHandle;
}

void CFile::ThrowOsError(long lOsError) const {
    throw CFileException(CFileException::OsErrorToException(lOsError), lOsError, m_strFileName);
}
