#include "platform/CSaveFile.h"

#include "platform/win32/TempFiles.h"
#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

namespace {
constexpr size_t kBufferSize = 64 * 1024;
constexpr int kTempAttempts = 100;

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

void Fill(CFileException* pError, long lOsError, const CString& strFileName) {
    if (pError == nullptr) return;
    pError->m_cause = CFileException::OsErrorToException(lOsError);
    pError->m_lOsError = lOsError;
    pError->m_strFileName = strFileName;
}

// The full path of a name, or the name itself when it cannot be expanded.
std::wstring FullPath(const std::wstring& name) {
    const std::wstring full = Win32Calls::Current().FullPath(name);
    return full.empty() ? name : full;
}
}  // namespace

// A new document here always replaces its target through a temporary file beside it.
struct CSaveFile::Native {};

CSaveFile::CSaveFile() = default;

CSaveFile::~CSaveFile() noexcept { Abort(); }


// Windows follows no link of a file's name: a member opens as any document does.
bool CSaveFile::OpenNew(const CString& strFileName, CFileException* pError) { return Open(strFileName, pError); }

bool CSaveFile::Open(const CString& strFileName, CFileException* pError) {
    Abort();
    m_strRefusingFolder.clear();
    Win32Calls& calls = Win32Calls::Current();
    const std::wstring wideName = Utf8ToWide(strFileName.Str());
    const std::wstring fullPath = FullPath(wideName);

    // Probe the target first, so that every reason it cannot be replaced shows before anything
    // is written. The probe stays open until Commit, keeping other openers away.
    HANDLE target = calls.CreateFile(fullPath.c_str(), GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (target == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            Fill(pError, static_cast<long>(error), strFileName);
            return false;
        }
    }

    HANDLE temp = INVALID_HANDLE_VALUE;
    std::wstring tempName;
    for (int attempt = 0; attempt < kTempAttempts && temp == INVALID_HANDLE_VALUE; ++attempt) {
        tempName = fullPath + L".~qv" + std::to_wstring(attempt);
        // Shared for deletion only, so that an interrupted program can remove it while it is open.
        temp = calls.CreateFile(tempName.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (temp == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            if (target != INVALID_HANDLE_VALUE) calls.CloseHandle(target);
            if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) {
                const std::size_t separator = fullPath.find_last_of(L"\\/");
                if (separator != std::wstring::npos) m_strRefusingFolder = WideToUtf8(fullPath.substr(0, separator + 1));
            }
            Fill(pError, static_cast<long>(error), strFileName);
            return false;
        }
    }
    if (temp == INVALID_HANDLE_VALUE) {
        if (target != INVALID_HANDLE_VALUE) calls.CloseHandle(target);
        Fill(pError, ERROR_FILE_EXISTS, strFileName);
        return false;
    }

    RegisterTempFile(tempName);
    m_hFile = FromHandle(temp);
    m_hTarget = target == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(target);
    m_strFileName = CString(WideToUtf8(fullPath));
    m_strTempName = WideToUtf8(tempName);
    m_buffer.clear();
    m_buffer.reserve(kBufferSize);
    return true;
}

std::uint64_t CSaveFile::GetLength() const {
    if (m_bFlushed || !IsOpen()) throw CFileException(CFileException::invalidFile, -1, m_strFileName);
    LARGE_INTEGER size;
    if (!Win32Calls::Current().GetFileSizeEx(AsHandle(m_hFile), &size)) ThrowOsError(static_cast<long>(::GetLastError()));
    return static_cast<std::uint64_t>(size.QuadPart) + m_buffer.size();
}

void CSaveFile::Write(const void* lpBuf, std::size_t nCount) {
    if (m_bFlushed || !IsOpen()) throw CFileException(CFileException::invalidFile, -1, m_strFileName);
    const char* bytes = static_cast<const char*>(lpBuf);
    m_buffer.insert(m_buffer.end(), bytes, bytes + nCount);
    if (m_buffer.size() >= kBufferSize) FlushBuffer();
}

void CSaveFile::FlushBuffer() {
    size_t done = 0;
    while (done < m_buffer.size()) {
        const DWORD chunk = static_cast<DWORD>(m_buffer.size() - done);
        DWORD written = 0;
        if (!Win32Calls::Current().WriteFile(AsHandle(m_hFile), m_buffer.data() + done, chunk, &written)) {
            const long error = static_cast<long>(::GetLastError());
            Abort();
            throw CFileException(CFileException::OsErrorToException(error), error, m_strFileName);
        }
        if (written != chunk) {  // only a full disk writes less than asked
            Abort();
            throw CFileException(CFileException::diskFull, -1, m_strFileName);
        }
        done += written;
    }
    m_buffer.clear();
}

void CSaveFile::Commit() {
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, -1, m_strFileName);
    Win32Calls& calls = Win32Calls::Current();

    auto fail = [this](long error) {
        Abort();
        throw CFileException(CFileException::OsErrorToException(error), error, m_strFileName);
    };
    Flush();
    if (m_hTarget != kInvalidHandle) {
        // The probe must be let go before the target can be replaced.
        calls.CloseHandle(AsHandle(m_hTarget));
        m_hTarget = kInvalidHandle;
    }
    const std::wstring tempName = Utf8ToWide(m_strTempName);
    const std::wstring target = Utf8ToWide(m_strFileName.Str());
    if (!calls.MoveFileEx(tempName.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail(static_cast<long>(::GetLastError()));
    ForgetTempFile(tempName);
    m_strTempName.clear();
    m_buffer.clear();
    m_bFlushed = false;
}

// FlushFileBuffers waits for the one file and the system offers no write begun ahead of it: a
// document written out is flushed at once, as before.
void CSaveFile::WriteOut() { Flush(); }

void CSaveFile::Flush() {
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, -1, m_strFileName);
    if (m_bFlushed) return;
    Win32Calls& calls = Win32Calls::Current();
    FlushBuffer();  // on failure it has already dropped the temporary file
    auto fail = [this](long error) {
        Abort();
        throw CFileException(CFileException::OsErrorToException(error), error, m_strFileName);
    };
    if (!calls.FlushFileBuffers(AsHandle(m_hFile))) fail(static_cast<long>(::GetLastError()));
    HANDLE file = AsHandle(m_hFile);
    m_hFile = kInvalidHandle;
    m_bFlushed = true;
    // A member of a set waits for the others: it keeps no buffer meanwhile.
    std::vector<char>().swap(m_buffer);
    if (!calls.CloseHandle(file)) fail(static_cast<long>(::GetLastError()));
}

void CSaveFile::Abort() noexcept {
    Win32Calls& calls = Win32Calls::Current();
    if (m_hFile != kInvalidHandle) calls.CloseHandle(AsHandle(m_hFile));
    if (m_hTarget != kInvalidHandle) calls.CloseHandle(AsHandle(m_hTarget));
    m_hFile = kInvalidHandle;
    m_hTarget = kInvalidHandle;
    if (!m_strTempName.empty()) {
        const std::wstring tempName = Utf8ToWide(m_strTempName);
        calls.DeleteFile(tempName.c_str());
        ForgetTempFile(tempName);
        m_strTempName.clear();
    }
    std::vector<char>().swap(m_buffer);
    m_bFlushed = false;
}

void CSaveFile::ThrowOsError(long lOsError) const {
    throw CFileException(CFileException::OsErrorToException(lOsError), lOsError, m_strFileName);
}

void CSaveFile::Release() noexcept {
    m_strTempName.clear();
    Abort();
}
