#include "platform/CSaveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "text/Utf8.h"
#include "platform/posix/HostPath.h"
#include "platform/posix/PosixCalls.h"
#include "platform/posix/TempFiles.h"

namespace {
// The writer makes one Write per line; buffering keeps batches from costing a syscall a line.
constexpr std::size_t kBufferReserve = 64 * 1024;
#ifdef __EMSCRIPTEN__
// The page's MEMFS copies a file whole each time a write grows it: there a document (330 KB for
// the unit's 700 points) goes in with one write.
constexpr std::size_t kFlushThreshold = 8 * 1024 * 1024;
#else
constexpr std::size_t kFlushThreshold = kBufferReserve;
#endif
// Room for the base name inside a temporary name, so that it stays within NAME_MAX (255).
constexpr std::size_t kTempBaseRoom = 200;
constexpr int kTempAttempts = 100;
constexpr int kMaxLinks = 40;  // as the kernel follows them

std::atomic<unsigned long> g_tempCounter{0};

int AsFd(std::intptr_t handle) { return static_cast<int>(handle); }

bool Fail(CFileException* pError, int cause, long lOsError, const CString& strFileName) {
    if (pError) *pError = CFileException(cause, lOsError, strFileName);
    return false;
}

bool FailWithErrno(CFileException* pError, int err, const CString& strFileName) {
    return Fail(pError, CFileException::OsErrorToException(err), err, strFileName);
}

// 0 when path is a folder; ENOENT when it is missing or not a folder; else why it cannot be told.
int FolderError(const std::string& path) {
    struct stat st {};
    if (PosixCalls::Current().Stat(path.c_str(), &st) != 0) return errno == ENOTDIR ? ENOENT : errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOENT;
}

// A name whose folder is missing is a bad path; a folder that cannot be looked at says why.
bool FailForFolder(CFileException* pError, int folderError, const CString& strFileName) {
    if (folderError == ENOENT) return Fail(pError, CFileException::badPath, ENOENT, strFileName);
    return FailWithErrno(pError, folderError, strFileName);
}

// Cut at a UTF-8 character boundary.
std::string CutBaseName(const std::string& base) {
    if (base.size() <= kTempBaseRoom) return base;
    return base.substr(0, Utf8BoundaryAtOrBefore(base, kTempBaseRoom));
}

std::string TempName(const std::string& prefix, const std::string& base) {
    const unsigned long serial = g_tempCounter.fetch_add(1);
    return prefix + "." + CutBaseName(base) + "." + std::to_string(static_cast<long>(PosixCalls::Current().Getpid())) + "-" +
           std::to_string(serial) + ".tmp";
}

// Created with O_EXCL under a fresh name; the name is known to the signal handlers before the
// file exists, so that no moment leaves a file they would not remove. -1 with errno on failure.
int CreateTempFile(const std::string& folder, const std::string& base, std::string& name) {
    return CreateRegisteredFile(
        name, kTempAttempts, [&] { return TempName(folder, base); }, 0, 0666);
}

int LockCause(int err) {
    return err == EWOULDBLOCK || err == EAGAIN ? static_cast<int>(CFileException::sharingViolation)
                                               : CFileException::OsErrorToException(err);
}
}  // namespace

// How a new document reaches its target, and what the replacement takes over from it.
struct CSaveFile::Native {
    enum class Road {
        none,
        replace,
        direct
    };
    Road road = Road::none;
    std::string targetPath;   // host path the name finally points at (links followed)
    unsigned targetMode = 0;  // permission bits to give the replacement
    // Device and inode of the file written out, which its sync opens again.
    std::pair<unsigned long long, unsigned long long> written;
    bool hasTargetMode = false;

    // Creates the temporary file in folder for the document that goes to path; false (filled
    // error) when the folder takes none.
    static bool Stage(CSaveFile& file, const std::string& folder, const std::string& path, const CString& strFileName,
                      CFileException* pError);
};

CSaveFile::CSaveFile() : m_native(std::make_unique<Native>()) {}

CSaveFile::~CSaveFile() noexcept { Abort(); }


bool CSaveFile::Native::Stage(CSaveFile& file, const std::string& folder, const std::string& path, const CString& strFileName,
                              CFileException* pError) {
    // The temporary name lives in a string that stays put until it is forgotten.
    const int fd = CreateTempFile(folder, path.substr(folder.size()), file.m_strTempName);
    if (fd < 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM || err == EROFS) file.m_strRefusingFolder = folder;
        return FailWithErrno(pError, err, strFileName);
    }
    file.m_hFile = fd;
    file.m_strFileName = CString(path);
    file.m_native->targetPath = path;
    file.m_native->road = Native::Road::replace;
    file.m_buffer.clear();
    file.m_buffer.reserve(kBufferReserve);  // a whole document of 100 points without regrowing
    return true;
}

bool CSaveFile::OpenNew(const CString& strFileName, CFileException* pError) {
    Abort();
    m_strRefusingFolder.clear();
    PosixCalls& os = PosixCalls::Current();
    const std::string full = FullPath(strFileName.Str());
    const std::string folder = FolderPrefix(full);
    if (full.size() == folder.size()) return Fail(pError, CFileException::badPath, ENOENT, strFileName);
    if (const int err = FolderError(FolderToOpen(folder))) return FailForFolder(pError, err, strFileName);
    struct stat st {};
    int held = -1;
    if (os.Lstat(full.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return FailWithErrno(pError, EISDIR, strFileName);
        // The user's own file keeps its permissions; anybody else's lends none to the new file.
        if (S_ISREG(st.st_mode) && st.st_uid == os.Geteuid()) {
            m_native->targetMode = static_cast<unsigned>(st.st_mode & 07777);
            m_native->hasTargetMode = true;
        }
        // A file another program holds locked is not replaced meanwhile; it is opened for reading
        // only, and not at all when it is no regular file.
        if (S_ISREG(st.st_mode)) {
            held = os.Open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0);
            if (held >= 0 && os.Flock(held, LOCK_EX | LOCK_NB) != 0) {
                const int err = errno;
                os.Close(held);
                m_native->hasTargetMode = false;
                m_native->targetMode = 0;
                return Fail(pError, LockCause(err), err, strFileName);
            }
            if (held < 0 && errno != EACCES && errno != EPERM && errno != ELOOP) {
                const int err = errno;
                m_native->hasTargetMode = false;
                m_native->targetMode = 0;
                return Fail(pError, LockCause(err), err, strFileName);
            }
        }
    }
    if (!Native::Stage(*this, folder, full, strFileName, pError)) {
        if (held >= 0) os.Close(held);
        m_native->hasTargetMode = false;
        m_native->targetMode = 0;
        return false;
    }
    if (held >= 0) m_hTarget = held;
    return true;
}

bool CSaveFile::Open(const CString& strFileName, CFileException* pError) {
    Abort();
    m_strRefusingFolder.clear();
    PosixCalls& os = PosixCalls::Current();
    const std::string full = FullPath(strFileName.Str());
    // Every reason the target cannot be written is found before anything is.
    // Links are followed to the file the name finally points at, which is what gets written.
    std::string path = full;
    for (int hops = 0;; ++hops) {
        struct stat link {};
        if (os.Lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) break;
        if (hops == kMaxLinks) return FailWithErrno(pError, ELOOP, strFileName);
        char buffer[4096];
        const ssize_t length = os.Readlink(path.c_str(), buffer, sizeof buffer);
        if (length < 0) return FailWithErrno(pError, errno, strFileName);
        if (static_cast<std::size_t>(length) == sizeof buffer) return FailWithErrno(pError, ENAMETOOLONG, strFileName);
        const std::string to(buffer, static_cast<std::size_t>(length));
        path = to[0] == '/' ? to : FolderPrefix(path) + to;
    }
    const std::string folder = FolderPrefix(path);
    const std::string base = path.substr(folder.size());
    int target = os.Open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
    if (target < 0) {
        const int err = errno;
        struct stat st {};
        // A FIFO that nobody reads would block the writer until somebody did.
        if (err == ENXIO && os.Stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode))
            return Fail(pError, CFileException::noReader, err, strFileName);
        if (err != ENOENT) return FailWithErrno(pError, err, strFileName);
        if (base.empty()) return Fail(pError, CFileException::badPath, err, strFileName);
        if (const int folderErr = FolderError(FolderToOpen(folder))) return FailForFolder(pError, folderErr, strFileName);
    } else {
        struct stat st {};
        if (os.Fstat(target, &st) != 0) {
            const int err = errno;
            os.Close(target);
            return FailWithErrno(pError, err, strFileName);
        }
        // A device or a FIFO (which has a reader, or the open would have failed) is written as it is.
        if (!S_ISREG(st.st_mode)) {
            os.Close(target);
            const int fd = os.Open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY, 0);
            if (fd < 0) return FailWithErrno(pError, errno, strFileName);
            m_hFile = fd;
            m_strFileName = CString(full);
            m_native->targetPath = path;
            m_native->road = Native::Road::direct;
            return true;
        }
        if (os.Flock(target, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            os.Close(target);
            return Fail(pError, LockCause(err), err, strFileName);
        }
        m_native->targetMode = static_cast<unsigned>(st.st_mode & 07777);
        m_native->hasTargetMode = true;
    }
    if (!Native::Stage(*this, folder, path, CString(full), pError)) {
        if (pError) pError->m_strFileName = strFileName;
        if (target >= 0) os.Close(target);
        m_native->hasTargetMode = false;
        m_native->targetMode = 0;
        return false;
    }
    m_strFileName = CString(full);
    m_hTarget = target;
    return true;
}

std::uint64_t CSaveFile::GetLength() const {
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    struct stat st {};
    if (PosixCalls::Current().Fstat(AsFd(m_hFile), &st) != 0) ThrowOsError(errno);
    return static_cast<std::uint64_t>(st.st_size) + m_buffer.size();
}

void CSaveFile::Write(const void* lpBuf, std::size_t nCount) {
    if (!IsOpen() || m_bFlushed || m_bWrittenOut || m_native->road == Native::Road::none)
        throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    const char* bytes = static_cast<const char*>(lpBuf);
    m_buffer.insert(m_buffer.end(), bytes, bytes + nCount);
    if (m_buffer.size() > kFlushThreshold) FlushBuffer();
}

// A failed flush drops the document at once, so that no later Commit can put a document with a
// hole in the target's place.
void CSaveFile::FlushBuffer() {
    PosixCalls& os = PosixCalls::Current();
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const std::size_t left = m_buffer.size() - done;
        const ssize_t wrote = os.Write(AsFd(m_hFile), m_buffer.data() + done, left);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0 || static_cast<std::size_t>(wrote) < left) {
            const int err = errno;
            const CString name = m_strFileName;
            Abort();
            if (wrote < 0) throw CFileException(CFileException::OsErrorToException(err), err, name);
            throw CFileException(CFileException::diskFull, -1, name);
        }
        done += left;
    }
    m_buffer.clear();
}

void CSaveFile::Commit() {
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    PosixCalls& os = PosixCalls::Current();
    if (m_native->road == Native::Road::direct) {
        FlushBuffer();
        const int fd = AsFd(m_hFile);
        const CString name = m_strFileName;
        m_hFile = kInvalidHandle;
        m_native->road = Native::Road::none;
        if (os.Close(fd) != 0) {
            const int err = errno;
            throw CFileException(CFileException::OsErrorToException(err), err, name);
        }
        return;
    }
    Flush();

    const CString name = m_strFileName;
    auto failed = [&](int err) {
        Abort();
        throw CFileException(CFileException::OsErrorToException(err), err, name);
    };
    const int folder = os.Open(FolderToOpen(FolderPrefix(m_native->targetPath)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (folder < 0) failed(errno);
    if (os.Rename(m_strTempName.c_str(), m_native->targetPath.c_str()) != 0) {
        const int err = errno;
        os.Close(folder);
        failed(err);
    }
    Release();
    // The complete document is in place: a folder that cannot be synced only leaves its survival
    // of a power cut unsure, which is no failure of the conversion.
    os.Fsync(folder);
    os.Close(folder);
}

void CSaveFile::Release() noexcept {
    if (!m_strTempName.empty()) ForgetTempFile(m_strTempName.c_str());
    m_strTempName.clear();
    Abort();
}

void CSaveFile::WriteOut() {
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    if (m_bFlushed || m_bWrittenOut) return;
    FlushBuffer();
    m_bWrittenOut = true;
    if (m_native->road != Native::Road::replace) return;
    PosixCalls& os = PosixCalls::Current();
    const CString name = m_strFileName;
    auto failed = [&](int err) {
        Abort();
        throw CFileException(CFileException::OsErrorToException(err), err, name);
    };
    const int fd = AsFd(m_hFile);
    // Only a hint that lets the disk start: a failure to write shows again in Flush's fsync.
    os.SyncFileRange(fd);
    struct stat st {};
    if (os.Fstat(fd, &st) != 0) failed(errno);
    m_native->written = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    m_hFile = kInvalidHandle;  // released by close even when close reports a failure
    std::vector<char>().swap(m_buffer);
    if (os.Close(fd) != 0) failed(errno);
    if (m_hTarget != kInvalidHandle) {
        os.Close(AsFd(m_hTarget));
        m_hTarget = kInvalidHandle;
    }
}

void CSaveFile::Flush() {
    if (!IsOpen()) throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    if (m_native->road == Native::Road::direct) FlushBuffer();
    if (m_native->road != Native::Road::replace || m_bFlushed) return;
    PosixCalls& os = PosixCalls::Current();
    const CString name = m_strFileName;
    auto failed = [&](int err) {
        Abort();
        throw CFileException(CFileException::OsErrorToException(err), err, name);
    };
    if (m_bWrittenOut) {
        // Written out and closed: opened again by its name only to wait for the disk, when it is
        // still the file written (never another's file put in its place, which is not removed).
        // A umask that leaves the owner no reading (0277 and the like) still leaves writing.
        constexpr int kFlags = O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
        int fd = os.Open(m_strTempName.c_str(), O_RDONLY | kFlags, 0);
        if (fd < 0 && errno == EACCES) fd = os.Open(m_strTempName.c_str(), O_WRONLY | kFlags, 0);
        if (fd < 0) failed(errno);
        struct stat st {};
        int err = os.Fstat(fd, &st) != 0 ? errno : 0;
        if (err == 0 && std::make_pair(static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)) !=
                            m_native->written) {
            ForgetTempFile(m_strTempName.c_str());
            m_strTempName.clear();
            err = ESTALE;
        }
        // The mode is given only now, so that a target's mode without reading or writing (0000)
        // does not keep the file from being opened again.
        if (err == 0 && m_native->hasTargetMode && os.Fchmod(fd, static_cast<mode_t>(m_native->targetMode)) != 0) err = errno;
        if (err == 0 && os.Fsync(fd) != 0) err = errno;
        if (os.Close(fd) != 0 && err == 0) err = errno;
        if (err != 0) failed(err);
        m_bFlushed = true;
        return;
    }
    FlushBuffer();
    if (m_native->hasTargetMode && os.Fchmod(AsFd(m_hFile), static_cast<mode_t>(m_native->targetMode)) != 0) failed(errno);
    if (os.Fsync(AsFd(m_hFile)) != 0) failed(errno);
    const int fd = AsFd(m_hFile);
    m_hFile = kInvalidHandle;  // released by close even when close reports a failure
    m_bFlushed = true;
    std::vector<char>().swap(m_buffer);
    if (os.Close(fd) != 0) failed(errno);
    // A flushed document holds no descriptor: a set of any size fits in the process's limit.
    if (m_hTarget != kInvalidHandle) {
        os.Close(AsFd(m_hTarget));
        m_hTarget = kInvalidHandle;
    }
}

void CSaveFile::Abort() noexcept {
    PosixCalls& os = PosixCalls::Current();
    const int savedErrno = errno;
    if (m_hFile != kInvalidHandle) {
        os.Close(AsFd(m_hFile));
        m_hFile = kInvalidHandle;
    }
    if (!m_strTempName.empty()) {
        os.Unlink(m_strTempName.c_str());
        ForgetTempFile(m_strTempName.c_str());
        m_strTempName.clear();
    }
    if (m_hTarget != kInvalidHandle) {
        os.Close(AsFd(m_hTarget));
        m_hTarget = kInvalidHandle;
    }
    std::vector<char>().swap(m_buffer);
    m_native->targetMode = 0;
    m_native->hasTargetMode = false;
    m_bFlushed = false;
    m_bWrittenOut = false;
    m_native->road = Native::Road::none;
    m_native->targetPath.clear();
    errno = savedErrno;
}

void CSaveFile::ThrowOsError(long lOsError) const {
    throw CFileException(CFileException::OsErrorToException(lOsError), lOsError, m_strFileName);
}
