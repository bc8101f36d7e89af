// The set writer on POSIX: a lock file beside the set for the run that writes it, a record of the
// members each commit wrote, a journal of the commit's renames and removals written before the
// first of them, signals held off while they run, and the recovery of what a killed run left.
// Every name the journal and the record hold is a bare name in the set's folder, and both are
// read only when they are regular files of the running user (or root): a planted or copied one
// can make a run touch nothing but the set's own files.
#include "platform/OutputSet.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "platform/posix/HostPath.h"
#include "platform/posix/InPlaceWrite.h"
#include "platform/posix/PosixCalls.h"
#include "platform/posix/TempFiles.h"

namespace {
constexpr int kLockAttempts = 100;
constexpr int kMaxLinks = 40;
// A journal or record of more is no journal of ours (a set of 100,000 members takes ~3 MB).
constexpr std::size_t kMaxBookBytes = 16u << 20;
constexpr char kJournalMagic[] = "quorvel set journal 2";

std::atomic<unsigned long> g_serial{0};
// Every file this process committed as a member, with the set's path: another set of the same
// run never removes it (the whole identity, as a removed file's inode may come back).
struct Written {
    OutputSet::Recorded file;
    std::string set;
};
std::vector<Written> g_written;

// One step of a commit, as the journal records it, by bare names in the set's folder:
// R renames a complete temporary file onto a member; I writes one over a member in place (a file
// with other names) and gives it the time the record names; L renames a temporary file, which
// waits beside the file the member links to, onto that file; D removes a stale member.
struct Step {
    char kind;
    std::string from;
    std::string to;
    long long seconds = 0, nanoseconds = 0;
};

[[noreturn]] void Throw(int err, const CString& name) {
    throw CFileException(CFileException::OsErrorToException(err), err, name);
}

// The entry names of a folder: 0, or the error number when it cannot be listed.
int ListFolder(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    return PosixCalls::Current().ReadFolder(FolderToOpen(folder).c_str(), names);
}

// Makes the folder's entries durable; a folder that cannot be synced fails nothing (as CFile).
// held is the folder as the lock holds it open (or invalid): syncing that descriptor syncs the
// same folder, without opening it once more.
void SyncFolder(const std::string& folder, std::intptr_t held) {
    PosixCalls& os = PosixCalls::Current();
    if (held != CFile::kInvalidHandle) {
        os.Fsync(static_cast<int>(held));
        return;
    }
    const int fd = os.Open(FolderToOpen(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    os.Fsync(fd);
    os.Close(fd);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return PosixCalls::Current().Lstat(path.c_str(), &st) == 0;
}


enum class Book {
    absent,
    ok,
    invalid
};

// Reads a journal or a record: without following a link, without waiting on a FIFO, only a
// regular file of the running user or root, and no more than cap bytes. err tells a failure to
// read (the result is then absent).
Book ReadBook(const std::string& path, std::string& bytes, int& err, std::size_t cap = kMaxBookBytes) {
    PosixCalls& os = PosixCalls::Current();
    err = 0;
    const int fd = os.Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0);
    if (fd < 0) {
        err = errno;
        if (err == ENOENT) return Book::absent;
        return err == ELOOP || err == ENXIO || err == EISDIR ? Book::invalid : Book::absent;
    }
    struct stat st {};
    if (os.Fstat(fd, &st) != 0) {
        err = errno;
        os.Close(fd);
        return Book::absent;
    }
    const uid_t me = os.Geteuid();
    if (!S_ISREG(st.st_mode) || (st.st_uid != me && st.st_uid != 0) || static_cast<std::uint64_t>(st.st_size) > cap) {
        os.Close(fd);
        return Book::invalid;
    }
    bytes.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t got = os.Read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            err = errno;
            os.Close(fd);
            return Book::absent;
        }
        if (got == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(got));
        if (bytes.size() > cap) {
            os.Close(fd);
            return Book::invalid;
        }
    }
    os.Close(fd);
    return Book::ok;
}

bool ParseNumber(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

std::string EncodeJournal(const std::vector<Step>& steps) {
    std::string bytes = kJournalMagic;
    bytes += '\0';
    for (const Step& step : steps) {
        for (const std::string& field : {std::string(1, step.kind), step.from, step.to, std::to_string(step.seconds),
                                         std::to_string(step.nanoseconds)}) {
            bytes += field;
            bytes += '\0';
        }
    }
    bytes += "E";
    bytes += '\0';
    return bytes;
}

// False for a journal that is not one of ours or names anything but entries of the set's folder.
bool DecodeJournal(const std::string& bytes, std::vector<Step>& steps) {
    const std::vector<std::string> fields = OutputSet::SplitFields(bytes, kJournalMagic);
    if (fields.empty() || (fields.size() - 2) % 5 != 0) return false;
    for (std::size_t i = 1; i + 1 < fields.size(); i += 5) {
        Step step{fields[i].size() == 1 ? fields[i][0] : '?', fields[i + 1], fields[i + 2]};
        if (std::string("RILD").find(step.kind) == std::string::npos || !OutputSet::IsBareName(step.from) ||
            (step.kind != 'D' && !OutputSet::IsBareName(step.to)) || (step.kind == 'D' && !step.to.empty()) ||
            !ParseNumber(fields[i + 3], step.seconds) || !ParseNumber(fields[i + 4], step.nanoseconds))
            return false;
        steps.push_back(step);
    }
    return true;
}

// The file a member's name finally leads to (links followed as the kernel does), or "".
std::string LinkTarget(const std::string& path) {
    PosixCalls& os = PosixCalls::Current();
    std::string at = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st {};
        if (os.Lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        char buffer[4096];
        const ssize_t length = os.Readlink(at.c_str(), buffer, sizeof buffer);
        if (length <= 0 || static_cast<std::size_t>(length) == sizeof buffer) return std::string();
        const std::string to(buffer, static_cast<std::size_t>(length));
        at = to[0] == '/' ? to : FolderPrefix(at) + to;
    }
    return std::string();
}

// Carries out one step in the set's folder; 0 or the error number. In a recovery a step already
// done is found done: its temporary file is gone, or its stale member is.
int Apply(const Step& step, const std::string& folder) {
    PosixCalls& os = PosixCalls::Current();
    const std::string from = folder + step.from;
    const std::string to = folder + step.to;
    switch (step.kind) {
    case 'R':
        if (os.Rename(from.c_str(), to.c_str()) == 0) return 0;
        return errno == ENOENT && !Exists(from) ? 0 : errno;
    case 'L': {
        const std::string target = LinkTarget(to);
        if (target.empty()) return ELOOP;
        const std::string staged = FolderPrefix(target) + step.from;
        if (os.Rename(staged.c_str(), target.c_str()) == 0) return 0;
        return errno == ENOENT && !Exists(staged) ? 0 : errno;
    }
    case 'I': {
        std::string bytes;
        int err = 0;
        // A staged document is as large as a document may be.
        const Book book = ReadBook(from, bytes, err, static_cast<std::size_t>(-1));
        if (book == Book::absent) return err == ENOENT ? 0 : err;
        if (book == Book::invalid) return EINVAL;
        const struct timespec mtime = {static_cast<time_t>(step.seconds), static_cast<long>(step.nanoseconds)};
        if (const int failed = WriteInPlace(to, bytes.data(), bytes.size(), &mtime)) return failed;
        return os.Unlink(from.c_str()) == 0 || errno == ENOENT ? 0 : errno;
    }
    default:
        return os.Unlink(from.c_str()) == 0 || errno == ENOENT ? 0 : errno;
    }
}

// The process id in a temporary name made for one of the set's names, its journal or its record
// (".NAME.PID-SERIAL.tmp"), or 0 when the name is not such a file.
long TempOwner(const std::string& entry, const CString& setBase) {
    const std::string suffix = ".tmp";
    if (entry.size() < 1 + suffix.size() || entry[0] != '.' ||
        entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0)
        return 0;
    const std::string stem = entry.substr(1, entry.size() - 1 - suffix.size());
    const std::size_t dot = stem.rfind('.');
    if (dot == std::string::npos) return 0;
    const std::string owner = stem.substr(dot + 1);
    const std::size_t dash = owner.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == owner.size() ||
        owner.find_first_not_of("0123456789-") != std::string::npos || owner.find('-', dash + 1) != std::string::npos)
        return 0;
    const std::string name = stem.substr(0, dot);
    if (name != OutputSet::HiddenName(setBase.Str(), ".journal") && name != OutputSet::HiddenName(setBase.Str(), ".record") &&
        !OutputSet::IsMemberName(setBase, CString(name)))
        return 0;
    return std::strtol(owner.c_str(), nullptr, 10);
}

// Removes the temporary files that runs now gone left in folder (its entries listed) for the
// names of the set base.
void RemoveDeadTemps(const std::string& folder, const std::vector<std::string>& entries, const CString& base) {
    PosixCalls& os = PosixCalls::Current();
    const long me = static_cast<long>(os.Getpid());
    for (const std::string& entry : entries) {
        const long owner = TempOwner(entry, base);
        if (owner <= 0 || owner == me) continue;
        if (os.Kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) os.Unlink((folder + entry).c_str());
    }
}

// A temporary file of the set's folder, created new, known to the signal handlers; -1 with errno.
int CreateHidden(const std::string& folder, const std::string& hidden, std::string& name) {
    PosixCalls& os = PosixCalls::Current();
    return CreateRegisteredFile(
        name, 100,
        [&] {
            return folder + "." + hidden + "." + std::to_string(static_cast<long>(os.Getpid())) + "-" +
                   std::to_string(g_serial.fetch_add(1)) + ".tmp";
        },
        O_NOFOLLOW, 0644);
}

// Writes bytes whole and, with bSync, syncs them; 0 or the error number.
int WriteSynced(int fd, const std::string& bytes, bool bSync = true) {
    PosixCalls& os = PosixCalls::Current();
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t wrote = os.Write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return errno;
        if (wrote == 0) return ENOSPC;
        done += static_cast<std::size_t>(wrote);
    }
    return !bSync || os.Fsync(fd) == 0 ? 0 : errno;
}

// A temporary journal or record of the commit: made before any member changes, put in place by
// a rename, removed when the commit does not get that far.
struct HiddenTemp {
    std::string path;
    int fd = -1;
    ~HiddenTemp() { Drop(); }
    void Drop() noexcept {
        PosixCalls& os = PosixCalls::Current();
        if (fd >= 0) os.Close(fd);
        fd = -1;
        if (!path.empty()) {
            os.Unlink(path.c_str());
            ForgetTempFile(path.c_str());
            path.clear();
        }
    }
    // The file is in place (renamed): it is no longer ours to remove.
    void Forget() noexcept {
        if (!path.empty()) ForgetTempFile(path.c_str());
        path.clear();
    }
    std::string Base(const std::string& folder) const { return path.substr(folder.size()); }
};

OutputSet::Recorded Identity(const std::string& name, const struct stat& st) {
    OutputSet::Recorded entry;
    entry.name = name;
    entry.device = static_cast<unsigned long long>(st.st_dev);
    entry.inode = static_cast<unsigned long long>(st.st_ino);
    entry.size = static_cast<unsigned long long>(st.st_size);
    entry.seconds = static_cast<long long>(st.st_mtim.tv_sec);
    entry.nanoseconds = static_cast<long long>(st.st_mtim.tv_nsec);
    return entry;
}

}  // namespace

std::string OutputSet::FullPathOf(const std::string& name) { return FullPath(name); }

OutputSet::OutputSet(CString strSetName, Mode mode) : m_strSetName(std::move(strSetName)), m_mode(mode) {
    const std::string full = FullPath(m_strSetName.Str());
    m_strFolder = FolderPrefix(full);
    m_strBase = full.substr(m_strFolder.size());
}

OutputSet::~OutputSet() noexcept {
    for (auto& file : m_files) file->Abort();
    Unlock();
}

void OutputSet::Protect(const CString& strFileName) {
    struct stat st {};
    if (PosixCalls::Current().Stat(FullPath(strFileName.Str()).c_str(), &st) == 0)
        m_protected.emplace_back(static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino));
}

bool OutputSet::Protected(const std::string& path) const {
    struct stat st {};
    if (PosixCalls::Current().Stat(path.c_str(), &st) != 0) return false;
    const std::pair<unsigned long long, unsigned long long> id(static_cast<unsigned long long>(st.st_dev),
                                                               static_cast<unsigned long long>(st.st_ino));
    const Recorded file = Identity(std::string(), st);
    const std::string self = m_strFolder + m_strBase;
    return std::find(m_protected.begin(), m_protected.end(), id) != m_protected.end() ||
           std::any_of(g_written.begin(), g_written.end(),
                       [&](const Written& w) { return w.set != self && SameFile(w.file, file); });
}

CSaveFile& OutputSet::Add(const CString& strFileName) {
    if (m_mode == Mode::document) return OpenMember(strFileName);
    PosixCalls& os = PosixCalls::Current();
    if (!m_bTaken) {
        // Written to a device or a FIFO (-o /dev/null), the output has no files beside it to lock,
        // journal or remove.
        struct stat st {};
        m_bDevice = os.Stat((m_strFolder + m_strBase).c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
        if (!m_bDevice) {
            CommitSignalsBlocked blocked;
            Lock();
            try {
                Recover();
                ReadRecord();
            } catch (...) {
                Unlock();
                throw;
            }
        }
        m_bTaken = true;
    }
    if (!m_bDevice) {
        const std::string full = FullPath(strFileName.Str());
        // The journal names members by bare names of the set's folder.
        if (FolderPrefix(full) != m_strFolder) Throw(EXDEV, strFileName);
        // In a sticky folder a link of somebody else is not followed (as the kernel's
        // protected_symlinks rule), or another user could have a document written anywhere.
        struct stat link {};
        struct stat folder {};
        if (os.Lstat(full.c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
            os.Stat(FolderToOpen(m_strFolder).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
            link.st_uid != folder.st_uid && link.st_uid != os.Geteuid()) {
            m_advice = full + " は共有フォルダーにある他のユーザーのリンクなので、たどりませんでした";
            throw CFileException(CFileException::accessDenied, EACCES, strFileName);
        }
    }
    return OpenMember(strFileName);
}

// A lock file beside the set, held with flock for the run and removed at its end. A lock taken on
// a file that its holder removed meanwhile is no lock: the name must still lead to the same file.
// The folder is held shared meanwhile; a folder that takes no new file, where no lock file can be
// made, is held exclusive instead, so that no run with a lock file writes there at the same time.
void OutputSet::Lock() {
    PosixCalls& os = PosixCalls::Current();
    m_bBusy = false;
    const std::string lockPath = m_strFolder + HiddenName(m_strBase, ".lock");
    const auto failed = [&](int err, const std::string& why) {
        if (m_hFolder != CFile::kInvalidHandle) os.Close(static_cast<int>(m_hFolder));
        m_hFolder = CFile::kInvalidHandle;
        m_advice = why;
        Throw(err, m_strSetName);
    };
    const auto busy = [&](int err) {
        m_bBusy = true;
        if (m_hFolder != CFile::kInvalidHandle) os.Close(static_cast<int>(m_hFolder));
        m_hFolder = CFile::kInvalidHandle;
        throw CFileException(CFileException::sharingViolation, err, m_strSetName);
    };
    const std::string cannot = "ロック ファイル " + lockPath + " を開けないため、出力を書き込めません";
    const int folder = os.Open(FolderToOpen(m_strFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    // No such folder: the writer's own message for the output says so.
    if (folder < 0 && (errno == ENOENT || errno == ENOTDIR))
        throw CFileException(CFileException::badPath, errno, m_strSetName);
    // A folder that may be written but not read is only not held.
    if (folder < 0 && errno != EACCES) Throw(errno, m_strSetName);
    m_hFolder = folder;
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
        int fd = os.Open(lockPath.c_str(), flags | O_CREAT, 0644);
        // Another user's lock in a sticky folder cannot be opened with O_CREAT (protected_regular).
        if (fd < 0 && errno == EACCES && Exists(lockPath)) fd = os.Open(lockPath.c_str(), flags, 0);
        if (fd < 0) {
            const int err = errno;
            if ((err == EACCES || err == EPERM || err == EROFS) && !Exists(lockPath) && folder >= 0) {
                if (os.Flock(folder, LOCK_EX | LOCK_NB) != 0) {
                    if (errno == EWOULDBLOCK || errno == EAGAIN) busy(errno);
                    failed(errno, cannot);
                }
                m_hLock = CFile::kInvalidHandle;
                return;
            }
            failed(err, err == ELOOP ? "ロック ファイル " + lockPath + " はリンクです。取り除いてから、もう一度変換してください" : cannot);
        }
        struct stat held {};
        if (os.Fstat(fd, &held) != 0) {
            const int err = errno;
            os.Close(fd);
            failed(err, cannot);
        }
        if (!S_ISREG(held.st_mode)) {
            os.Close(fd);
            failed(EINVAL, "ロック ファイル " + lockPath + " は通常のファイルではありません。取り除いてから、もう一度変換してください");
        }
        // Readable by every user whatever the umask: a lock others cannot open is no lock for them.
        // Where the mode cannot be set (a file system that keeps none) every file is readable.
        if (held.st_uid == os.Geteuid() && (held.st_mode & 0444) != 0444 &&
            os.Fchmod(fd, static_cast<mode_t>((held.st_mode & 07777) | 0444)) != 0 && errno != EPERM && errno != ENOTSUP) {
            const int err = errno;
            os.Close(fd);
            failed(err, cannot);
        }
        if (folder >= 0 && os.Flock(folder, LOCK_SH | LOCK_NB) != 0) {
            const int err = errno;
            os.Close(fd);
            if (err == EWOULDBLOCK || err == EAGAIN) busy(err);
            failed(err, cannot);
        }
        if (os.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            os.Close(fd);
            if (err == EWOULDBLOCK || err == EAGAIN) busy(err);
            failed(err, cannot);
        }
        struct stat named {};
        if (os.Lstat(lockPath.c_str(), &named) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            m_hLock = fd;
            m_strLockPath = lockPath;
            RegisterTempFile(m_strLockPath.c_str());
            return;
        }
        os.Close(fd);
    }
    failed(EAGAIN, cannot);
}

void OutputSet::Unlock() noexcept {
    PosixCalls& os = PosixCalls::Current();
    const int savedErrno = errno;
    if (m_hLock != CFile::kInvalidHandle) {
        // Removed while still held, so that whoever opens the name next makes a new lock.
        if (!m_strLockPath.empty()) {
            os.Unlink(m_strLockPath.c_str());
            ForgetTempFile(m_strLockPath.c_str());
            m_strLockPath.clear();
        }
        os.Close(static_cast<int>(m_hLock));
        m_hLock = CFile::kInvalidHandle;
    }
    if (m_hFolder != CFile::kInvalidHandle) {
        os.Close(static_cast<int>(m_hFolder));
        m_hFolder = CFile::kInvalidHandle;
    }
    errno = savedErrno;
}

// Completes the commit of a run that was killed in it, then removes the temporary files of runs
// that are gone (the id in a name is that of the run that made it), beside the set and beside
// the files its members link to.
void OutputSet::Recover() {
    PosixCalls& os = PosixCalls::Current();
    const std::string journal = m_strFolder + HiddenName(m_strBase, ".journal");
    std::string bytes;
    int err = 0;
    const Book book = ReadBook(journal, bytes, err);
    std::vector<Step> steps;
    // A journal is renamed into place complete and names bare names only: anything else is
    // not ours to obey.
    if (book == Book::invalid || (book == Book::ok && !DecodeJournal(bytes, steps))) {
        const std::string aside = journal + ".void";
        if (os.Rename(journal.c_str(), aside.c_str()) != 0) {
            m_advice = "ジャーナル " + journal + " は無効ですが、" + aside + " に移せません。取り除いてから、もう一度変換してください";
            Throw(errno, CString(journal));
        }
        SyncFolder(m_strFolder, m_hFolder);
        m_warnings.push_back("ジャーナル " + journal + " は無効なので従わず、" + aside + " に移しました");
    } else if (book == Book::ok) {
        for (const Step& step : steps)
            if (const int failed = Apply(step, m_strFolder)) {
                m_advice = "中断された書き込みのジャーナル " + journal +
                           " を完了できません。中身を確かめて、不要なら削除してから、もう一度変換してください";
                Throw(failed, CString(m_strFolder + (step.kind == 'D' ? step.from : step.to)));
            }
        if (!steps.empty()) SyncFolder(m_strFolder, m_hFolder);
        if (os.Unlink(journal.c_str()) != 0) Throw(errno, CString(journal));
        SyncFolder(m_strFolder, m_hFolder);
    } else if (err != ENOENT && err != 0) {
        Throw(err, CString(journal));
    }
    const CString base(m_strBase);
    // A folder that cannot be listed is reported, not taken for one without leftovers. The one
    // listing also serves the commit's search for stale members: under the lock no other run adds
    // a member name, and each name listed is looked at again then. A file another program puts
    // there meanwhile is only not reported as left; nothing unlisted is ever removed.
    if (const int failed = ListFolder(m_strFolder, m_entries)) Throw(failed, CString(FolderToOpen(m_strFolder)));
    RemoveDeadTemps(m_strFolder, m_entries, base);
    // A member that links elsewhere is staged beside the file it links to.
    std::vector<std::string> there;
    for (const std::string& entry : m_entries) {
        if (!IsMemberName(base, CString(entry))) continue;
        struct stat st {};
        if (os.Lstat((m_strFolder + entry).c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
        const std::string target = LinkTarget(m_strFolder + entry);
        const std::string folder = FolderPrefix(target);
        if (target.empty() || folder == m_strFolder) continue;
        if (const int failed = ListFolder(folder, there))
            m_warnings.push_back("フォルダ " + FolderToOpen(folder) + " の一覧を読めないため、そこに残る一時ファイルを確かめられませんでした (" +
                                 CFileException::OsErrorText(failed) + ")");
        else
            RemoveDeadTemps(folder, there, CString(target.substr(folder.size())));
    }
}

// The earlier commit's record; one that is not ours is set aside and leaves nothing to remove.
void OutputSet::ReadRecord() {
    PosixCalls& os = PosixCalls::Current();
    const std::string record = m_strFolder + HiddenName(m_strBase, ".record");
    std::string bytes;
    int err = 0;
    m_record.clear();
    const Book book = ReadBook(record, bytes, err);
    if (book == Book::ok && DecodeRecord(bytes, m_record)) return;
    m_record.clear();
    // A record that cannot be read leaves no way to tell the set's members: nothing is written.
    if (book == Book::absent && err != 0 && err != ENOENT) Throw(err, CString(record));
    if (book == Book::absent) return;
    const std::string aside = record + ".void";
    if (os.Rename(record.c_str(), aside.c_str()) != 0) {
        m_advice = "出力の記録 " + record + " は無効ですが、" + aside + " に移せません。取り除いてから、もう一度変換してください";
        Throw(errno, CString(record));
    }
    m_warnings.push_back("出力の記録 " + record + " は無効なので使わず、" + aside + " に移しました");
}

void OutputSet::Commit() {
    if (m_mode == Mode::document) {
        CommitDocument();
        return;
    }
    if (m_files.empty()) {
        Unlock();
        return;
    }
    for (auto& file : m_files) file->Flush();
    PosixCalls& os = PosixCalls::Current();
    const auto bare = [this](const std::string& path) { return path.substr(m_strFolder.size()); };

    // The record of the new set, made before any member changes: a renamed member keeps the
    // identity of its temporary file, one written in place gets the time chosen here.
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::vector<Step> steps;
    std::vector<Recorded> members;
    std::vector<std::size_t> unstaged;  // members written from memory or directly by their file
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const CSaveFile& file = *m_files[i];
        const std::string& staged = file.GetStagedPath();
        const std::string& target = file.GetTargetPath();
        const std::string name = bare(m_names[i]);
        struct stat st {};
        if (m_bDevice || staged.empty() || (file.IsWrittenInPlace() && target != m_names[i])) {
            unstaged.push_back(i);
        } else if (target != m_names[i]) {
            // Linked elsewhere: staged beside the file the link leads to; the journal finds it by the link.
            steps.push_back({'L', staged.substr(FolderPrefix(staged).size()), name});
            if (os.Lstat(m_names[i].c_str(), &st) == 0) members.push_back(Identity(name, st));
        } else if (file.IsWrittenInPlace()) {
            steps.push_back({'I', bare(staged), name, static_cast<long long>(now.tv_sec), static_cast<long long>(now.tv_nsec)});
            if (os.Stat(target.c_str(), &st) == 0) {
                Recorded entry = Identity(name, st);
                entry.size = static_cast<unsigned long long>(m_files[i]->GetLength());
                entry.seconds = now.tv_sec;
                entry.nanoseconds = now.tv_nsec;
                members.push_back(entry);
            }
        } else {
            steps.push_back({'R', bare(staged), name});
            if (os.Stat(staged.c_str(), &st) == 0) members.push_back(Identity(name, st));
        }
    }
    // Stale members: what the earlier record names and is still the file it was; anything else
    // with a member's name stays, and is said.
    const CString base(m_strBase);
    // The folder as Recover listed it when the set was taken (a folder that could not be listed
    // failed the run there, before anything was written); a device has no entries.
    std::vector<std::string> entries = std::move(m_entries);
    std::sort(entries.begin(), entries.end());
    std::vector<Step> stale;
    for (const std::string& entry : entries) {
        const std::string path = m_strFolder + entry;
        if (!IsMemberName(base, CString(entry)) || std::find(m_names.begin(), m_names.end(), path) != m_names.end()) continue;
        struct stat st {};
        if (os.Lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || Protected(path)) continue;
        const Recorded found = Identity(entry, st);
        const auto recorded = std::find_if(m_record.begin(), m_record.end(), [&](const Recorded& r) { return r.name == entry; });
        if (recorded != m_record.end() && SameFile(*recorded, found))
            stale.push_back({'D', entry, std::string()});
        else
            m_left.emplace_back(path);
    }

    // Room for every document written in place, before any member changes: a full disk fails the
    // commit while the old set is whole.
    for (auto& file : m_files) {
        if (!file->IsWrittenInPlace()) continue;
        if (const int err = ReserveInPlace(file->GetTargetPath(), static_cast<std::size_t>(file->GetLength())))
            Throw(err, file->GetFilePath());
    }

    CommitSignalsBlocked blocked;
    // The journal and the record are made before the first member changes: a folder that takes
    // neither fails the commit with the old set whole.
    const std::string journal = m_strFolder + HiddenName(m_strBase, ".journal");
    const std::string recordName = HiddenName(m_strBase, ".record");
    HiddenTemp record;
    HiddenTemp journalTemp;
    if (!m_bDevice) {
        record.fd = CreateHidden(m_strFolder, recordName, record.path);
        if (record.fd < 0) {
            const int err = errno;
            // Where no file can be made no stale member can be removed either; without a record
            // the next commit removes nothing, which loses nothing.
            const bool bReadOnly = err == EACCES || err == EPERM || err == EROFS;
            if (!bReadOnly || !stale.empty()) {
                m_advice = "出力の記録を " + m_strFolder + " に作れないため、何も変えていません";
                Throw(err, CString(m_strFolder + recordName));
            }
        }
    }
    steps.insert(steps.end(), stale.begin(), stale.end());
    if (record.fd >= 0) steps.push_back({'R', record.Base(m_strFolder), recordName});
    // One rename of a member, and the record's after it, need no journal: a run killed between
    // them leaves an older record, which names nothing this commit wrote.
    const std::size_t memberSteps = steps.size() - (record.fd >= 0 ? 1 : 0);
    const bool bJournal = memberSteps > 1 || (memberSteps == 1 && (steps[0].kind != 'R' || !unstaged.empty()));
    if (bJournal) {
        journalTemp.fd = CreateHidden(m_strFolder, HiddenName(m_strBase, ".journal"), journalTemp.path);
        if (journalTemp.fd < 0) Throw(errno, CString(journal));
        if (const int err = WriteSynced(journalTemp.fd, EncodeJournal(steps))) Throw(err, CString(journal));
        if (os.Close(journalTemp.fd) != 0) {
            journalTemp.fd = -1;
            Throw(errno, CString(journal));
        }
        journalTemp.fd = -1;
    }
    if (record.fd >= 0) {
        // Not synced: a record lost to a power cut is found invalid or old, and then removes
        // nothing; a sync would cost every conversion a disk flush.
        if (const int err = WriteSynced(record.fd, EncodeRecord(members), false)) Throw(err, CString(m_strFolder + recordName));
        const int fd = record.fd;
        record.fd = -1;
        if (os.Close(fd) != 0) Throw(errno, CString(m_strFolder + recordName));
    }
    if (bJournal) {
        if (os.Rename(journalTemp.path.c_str(), journal.c_str()) != 0) Throw(errno, CString(journal));
        journalTemp.Forget();
        SyncFolder(m_strFolder, m_hFolder);
    }
    // Members the journal cannot hold (written from memory) are written now, after every check;
    // the record leaves them out, so that no later commit removes them.
    for (std::size_t i : unstaged) m_files[i]->Commit();
    for (const Step& step : steps) {
        if (const int err = Apply(step, m_strFolder)) {
            // What is left is the journal's now: the next run completes it.
            if (bJournal) {
                for (auto& file : m_files) file->Release();
                record.Forget();
                m_advice = "中断された書き込みのジャーナル " + journal + " が残っています。次の変換がこの書き込みを完了します";
            }
            Throw(err, CString(m_strFolder + (step.kind == 'D' ? step.from : step.to)));
        }
        if (step.kind == 'D') m_removed.emplace_back(m_strFolder + step.from);
    }
    record.Forget();
    for (auto& file : m_files) file->Release();
    SyncFolder(m_strFolder, m_hFolder);
    if (bJournal && os.Unlink(journal.c_str()) == 0) SyncFolder(m_strFolder, m_hFolder);
    for (const Recorded& member : members) g_written.push_back({member, m_strFolder + m_strBase});
    for (std::size_t i : unstaged) {
        struct stat st {};
        if (!m_bDevice && os.Stat(m_names[i].c_str(), &st) == 0) g_written.push_back({Identity(bare(m_names[i]), st), m_strFolder + m_strBase});
    }
    m_files.clear();
    Unlock();
}
