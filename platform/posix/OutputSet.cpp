// The set writer on POSIX: a lock file beside the set for the run that writes it, a journal of
// the commit's renames and removals written before the first of them, signals held off while they
// run, and the recovery of what a killed run left.
#include "platform/OutputSet.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/posix/InPlaceWrite.h"
#include "platform/posix/PosixCalls.h"
#include "platform/posix/TempFiles.h"

namespace {
constexpr int kLockAttempts = 100;

// One step of a commit, as the journal records it: R renames a complete temporary file onto a
// member, I writes one over a member in place (a file with other names), D removes a stale member.
struct Step {
    char kind;
    std::string from;
    std::string to;
};

[[noreturn]] void Throw(int err, const CString& name) {
    throw CFileException(CFileException::OsErrorToException(err), err, name);
}

std::string FullPath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    char cwd[4096];
    if (PosixCalls::Current().Getcwd(cwd, sizeof cwd) == nullptr) return name;
    std::string full(cwd);
    if (full.back() != '/') full += '/';
    return full + name;
}

std::string FolderPrefix(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
}

// Makes the folder's entries durable; a folder that cannot be synced fails nothing (as CFile).
void SyncFolder(const std::string& folder) {
    PosixCalls& os = PosixCalls::Current();
    const int fd = os.Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    os.Fsync(fd);
    os.Close(fd);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return PosixCalls::Current().Lstat(path.c_str(), &st) == 0;
}

bool ReadWhole(const std::string& path, std::string& bytes) {
    PosixCalls& os = PosixCalls::Current();
    const int fd = os.Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) return false;
    char chunk[65536];
    for (;;) {
        const ssize_t got = os.Read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int err = errno;
            os.Close(fd);
            errno = err;
            return false;
        }
        if (got == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    os.Close(fd);
    return true;
}

// Fields end with NUL, which no path holds; the journal is complete when it ends with "E".
std::string EncodeJournal(const std::vector<Step>& steps) {
    std::string bytes = "quorvel set journal 1";
    bytes += '\0';
    for (const Step& step : steps) {
        bytes += step.kind;
        bytes += '\0';
        bytes += step.from;
        bytes += '\0';
        if (step.kind != 'D') {
            bytes += step.to;
            bytes += '\0';
        }
    }
    bytes += "E";
    bytes += '\0';
    return bytes;
}

bool DecodeJournal(const std::string& bytes, std::vector<Step>& steps) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t end = bytes.find('\0'); end != std::string::npos; end = bytes.find('\0', from)) {
        fields.push_back(bytes.substr(from, end - from));
        from = end + 1;
    }
    if (from != bytes.size() || fields.size() < 2 || fields[0] != "quorvel set journal 1" || fields.back() != "E")
        return false;
    for (std::size_t i = 1; i + 1 < fields.size();) {
        const std::string& kind = fields[i];
        const std::size_t width = kind == "D" ? 2 : 3;
        if ((kind != "R" && kind != "I" && kind != "D") || i + width > fields.size() - 1) return false;
        steps.push_back({kind[0], fields[i + 1], width == 3 ? fields[i + 2] : std::string()});
        i += width;
    }
    return true;
}

// Carries out one step; 0 or the error number. In a recovery a step already done is found done:
// its temporary file is gone, or its stale member is.
int Apply(const Step& step) {
    PosixCalls& os = PosixCalls::Current();
    switch (step.kind) {
    case 'R':
        if (os.Rename(step.from.c_str(), step.to.c_str()) == 0) return 0;
        return errno == ENOENT && !Exists(step.from) ? 0 : errno;
    case 'I': {
        std::string bytes;
        if (!ReadWhole(step.from, bytes)) return errno == ENOENT ? 0 : errno;
        if (const int err = WriteInPlace(step.to, bytes.data(), bytes.size())) return err;
        return os.Unlink(step.from.c_str()) == 0 || errno == ENOENT ? 0 : errno;
    }
    default:
        return os.Unlink(step.from.c_str()) == 0 || errno == ENOENT ? 0 : errno;
    }
}

// The process id in a temporary name made for one of the set's names or its journal
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
    if (name != "." + setBase.Str() + ".journal" && !OutputSet::IsMemberName(setBase, CString(name))) return 0;
    return std::strtol(owner.c_str(), nullptr, 10);
}
}  // namespace

std::string OutputSet::FullPathOf(const std::string& name) { return FullPath(name); }

OutputSet::OutputSet(CString strSetName) : m_strSetName(std::move(strSetName)) {
    const std::string full = FullPath(m_strSetName.Str());
    m_strFolder = FolderPrefix(full);
    m_strBase = full.substr(m_strFolder.size());
}

OutputSet::~OutputSet() noexcept {
    for (auto& file : m_files) file->Abort();
    Unlock();
}

CFile& OutputSet::Add(const CString& strFileName) {
    if (!m_bTaken) {
        // Written to a device or a FIFO (-o /dev/null), the output has no files beside it to lock,
        // journal or remove.
        struct stat st {};
        m_bDevice = PosixCalls::Current().Stat((m_strFolder + m_strBase).c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
                    !S_ISDIR(st.st_mode);
        if (!m_bDevice) {
            CommitSignalsBlocked blocked;
            Lock();
            try {
                Recover();
            } catch (...) {
                Unlock();
                throw;
            }
        }
        m_bTaken = true;
    }
    return OpenMember(strFileName);
}

// A lock file beside the set, held with flock for the run and removed at its end. A lock taken on
// a file that its holder removed meanwhile is no lock: the name must still lead to the same file.
// A folder that takes no new file is locked itself (no set there can gain or lose a member).
void OutputSet::Lock() {
    PosixCalls& os = PosixCalls::Current();
    m_bBusy = false;
    const std::string lockPath = m_strFolder + "." + m_strBase + ".lock";
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        bool bFolder = false;
        int fd = os.Open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
            bFolder = true;
            fd = os.Open(m_strFolder.empty() ? "." : m_strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
        }
        if (fd < 0) Throw(errno, m_strSetName);
        if (os.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            os.Close(fd);
            if (err == EWOULDBLOCK || err == EAGAIN) {
                m_bBusy = true;
                throw CFileException(CFileException::sharingViolation, err, m_strSetName);
            }
            Throw(err, m_strSetName);
        }
        struct stat held {};
        struct stat named {};
        if (bFolder || (os.Fstat(fd, &held) == 0 && os.Lstat(lockPath.c_str(), &named) == 0 &&
                        held.st_dev == named.st_dev && held.st_ino == named.st_ino)) {
            m_hLock = fd;
            if (!bFolder) {
                m_strLockPath = lockPath;
                RegisterTempFile(m_strLockPath.c_str());
            }
            return;
        }
        os.Close(fd);
    }
    Throw(EAGAIN, m_strSetName);
}

void OutputSet::Unlock() noexcept {
    if (m_hLock == CFile::kInvalidHandle) return;
    PosixCalls& os = PosixCalls::Current();
    const int savedErrno = errno;
    // Removed while still held, so that whoever opens the name next makes a new lock.
    if (!m_strLockPath.empty()) {
        os.Unlink(m_strLockPath.c_str());
        ForgetTempFile(m_strLockPath.c_str());
        m_strLockPath.clear();
    }
    os.Close(static_cast<int>(m_hLock));
    m_hLock = CFile::kInvalidHandle;
    errno = savedErrno;
}

// Completes the commit of a run that was killed in it, then removes the temporary files of runs
// that are gone (the id in a name is that of the run that made it).
void OutputSet::Recover() {
    PosixCalls& os = PosixCalls::Current();
    const std::string journal = m_strFolder + "." + m_strBase + ".journal";
    std::string bytes;
    if (ReadWhole(journal, bytes)) {
        std::vector<Step> steps;
        // A journal is renamed into place complete; one that is not was never acted on.
        if (DecodeJournal(bytes, steps)) {
            for (const Step& step : steps)
                if (const int err = Apply(step)) Throw(err, CString(step.kind == 'D' ? step.from : step.to));
            SyncFolder(m_strFolder);
        }
        if (os.Unlink(journal.c_str()) != 0) Throw(errno, CString(journal));
        SyncFolder(m_strFolder);
    } else if (errno != ENOENT) {
        Throw(errno, CString(journal));
    }
    const CString base(m_strBase);
    for (const std::string& entry : ListFolder(m_strFolder)) {
        const long owner = TempOwner(entry, base);
        if (owner <= 0 || owner == static_cast<long>(::getpid())) continue;
        if (::kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) os.Unlink((m_strFolder + entry).c_str());
    }
}

void OutputSet::Commit() {
    if (m_files.empty()) {
        Unlock();
        return;
    }
    for (auto& file : m_files) file->Flush();
    PosixCalls& os = PosixCalls::Current();

    std::vector<Step> steps;
    std::vector<std::size_t> unstaged;  // members written from memory or directly by their file
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const CFile& file = *m_files[i];
        if (file.GetStagedPath().empty())
            unstaged.push_back(i);
        else
            steps.push_back({file.IsWrittenInPlace() ? 'I' : 'R', file.GetStagedPath(), file.GetTargetPath()});
    }
    const CString base(m_strBase);
    for (const std::string& entry : m_bDevice ? std::vector<std::string>() : ListFolder(m_strFolder)) {
        const std::string path = m_strFolder + entry;
        if (!IsMemberName(base, CString(entry)) || std::find(m_names.begin(), m_names.end(), path) != m_names.end())
            continue;
        struct stat st {};
        if (os.Lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) steps.push_back({'D', path, std::string()});
    }

    // Room for every document written in place, before any member changes: a full disk fails the
    // commit while the old set is whole.
    for (auto& file : m_files) {
        if (!file->IsWrittenInPlace()) continue;
        if (const int err = ReserveInPlace(file->GetTargetPath(), static_cast<std::size_t>(file->GetLength())))
            Throw(err, file->GetFilePath());
    }
    for (std::size_t i : unstaged) m_files[i]->Close();

    CommitSignalsBlocked blocked;
    // One rename is a commit in itself; anything more is journaled first, so that a run killed
    // halfway is completed by the next.
    const bool bJournal = steps.size() > 1 || (steps.size() == 1 && steps[0].kind != 'R');
    const std::string journal = m_strFolder + "." + m_strBase + ".journal";
    if (bJournal) {
        const std::string bytes = EncodeJournal(steps);
        CFile file;
        CFileException error;
        if (!file.Open(CString(journal), CFile::modeCreate | CFile::modeWrite, &error)) throw error;
        file.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
        file.Close();
    }
    for (const Step& step : steps) {
        if (const int err = Apply(step)) {
            // What is left is the journal's now: the next run completes it.
            if (bJournal)
                for (auto& file : m_files) file->Release();
            Throw(err, CString(step.kind == 'D' ? step.from : step.to));
        }
        if (step.kind == 'D') m_removed.emplace_back(step.from);
    }
    for (auto& file : m_files) file->Release();
    SyncFolder(m_strFolder);
    if (bJournal && os.Unlink(journal.c_str()) == 0) SyncFolder(m_strFolder);
    m_files.clear();
    Unlock();
}
