#include "platform/CFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/HostPath.h"
#include "platform/posix/PosixCalls.h"

namespace {
bool Fail(CFileException* pError, int cause, long lOsError, const CString& strFileName) {
    if (pError) *pError = CFileException(cause, lOsError, strFileName);
    return false;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return PosixCalls::Current().Stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

CFile::~CFile() noexcept { Abort(); }

bool CFile::Open(const CString& strFileName, unsigned nOpenFlags, CFileException* pError) {
    Abort();
    PosixCalls& os = PosixCalls::Current();
    const std::string full = FullPath(strFileName.Str());
    // O_NONBLOCK: a FIFO given as input must not hang the open; regular files ignore it.
    int fd = os.Open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT && !IsFolder(FolderToOpen(FolderPrefix(full))))
            return Fail(pError, CFileException::badPath, err, strFileName);
        return Fail(pError, CFileException::OsErrorToException(err), err, strFileName);
    }
    // Readers that let others read share the lock: two runs may read one input at once, while a
    // writer (which holds it exclusive) still keeps them out.
    const int lock = (nOpenFlags & shareDenyWrite) ? LOCK_SH : LOCK_EX;
    if (os.Flock(fd, lock | LOCK_NB) != 0) {
        const int err = errno;
        os.Close(fd);
        const int cause = err == EWOULDBLOCK || err == EAGAIN ? static_cast<int>(CFileException::sharingViolation)
                                                              : CFileException::OsErrorToException(err);
        return Fail(pError, cause, err, strFileName);
    }
    struct stat st {};
    if (os.Fstat(fd, &st) != 0) {
        const int err = errno;
        os.Close(fd);
        return Fail(pError, CFileException::OsErrorToException(err), err, strFileName);
    }
    if (S_ISDIR(st.st_mode)) {
        os.Close(fd);
        return Fail(pError, CFileException::accessDenied, EISDIR, strFileName);
    }
    // Opened without O_NONBLOCK, which the first open took: reads then wait for what the writer
    // has yet to write rather than end at once. The first end, held meanwhile, lets a writer that
    // waits for a reader in.
    if ((nOpenFlags & waitForWriter) && S_ISFIFO(st.st_mode)) {
        const int blocking = os.Open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY, 0);
        const int err = errno;
        os.Close(fd);
        if (blocking < 0) return Fail(pError, CFileException::OsErrorToException(err), err, strFileName);
        fd = blocking;
    }
    m_hFile = fd;
    m_strFileName = CString(full);
    return true;
}

std::uint64_t CFile::GetLength() const {
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    struct stat st {};
    if (PosixCalls::Current().Fstat(static_cast<int>(m_hFile), &st) != 0) ThrowOsError(errno);
    return static_cast<std::uint64_t>(st.st_size);
}

unsigned CFile::Read(void* lpBuf, unsigned nCount) {
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    PosixCalls& os = PosixCalls::Current();
    char* out = static_cast<char*>(lpBuf);
    unsigned total = 0;
    while (total < nCount) {
        const ssize_t got = os.Read(static_cast<int>(m_hFile), out + total, nCount - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (got == 0) break;
        total += static_cast<unsigned>(got);
    }
    return total;
}

void CFile::Close() {
    if (!IsOpen()) return;
    const int fd = static_cast<int>(m_hFile);
    m_hFile = kInvalidHandle;
    if (PosixCalls::Current().Close(fd) != 0) {
        const int err = errno;
        // A read's close names no file, as the framework's does not.
        throw CFileException(CFileException::OsErrorToException(err), err, CString());
    }
}

void CFile::Abort() noexcept {
    if (m_hFile == kInvalidHandle) return;
    const int savedErrno = errno;
    PosixCalls::Current().Close(static_cast<int>(m_hFile));
    m_hFile = kInvalidHandle;
    errno = savedErrno;
}

void CFile::ThrowOsError(long lOsError) const {
    throw CFileException(CFileException::OsErrorToException(lOsError), lOsError, m_strFileName);
}
