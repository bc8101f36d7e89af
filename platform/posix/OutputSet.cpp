// The set writer on POSIX. The set's bookkeeping lives in the user's state folder, each file named
// after the output folder's identity (device and inode) and a hash of the set's name: a lock held
// with flock for the run, the record of the members each commit wrote, the list of the run's
// temporary files beside the set, and the journal of a commit's renames and removals, written
// before the first of them. Each step of the journal carries the identity of the file it acts on,
// and nothing else is acted on. Signals are held off while the steps run; what a killed run left
// is completed or removed by the user's next run. The output folder is held shared meanwhile (or
// exclusive where no state folder can be written).
#include "platform/OutputSet.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/HostSystem.h"
#include "platform/posix/HostPath.h"
#include "platform/posix/PosixCalls.h"
#include "platform/posix/TempFiles.h"

namespace {
constexpr int kLockAttempts = 100;
// A journal or record of more is no journal of ours (a set of 100,000 members takes ~3 MB).
constexpr std::size_t kMaxBookBytes = 16u << 20;
constexpr char kJournalMagic[] = "quorvel set journal 3";
constexpr char kTempsMagic[] = "quorvel set temporaries 1";

std::atomic<unsigned long> g_serial{0};
// Every file this process committed as a member, with the set's path: another set of the same
// run never removes it (the whole identity, as a removed file's inode may come back).
struct Written {
    OutputSet::Recorded file;
    std::string set;
};
std::vector<Written> g_written;

// One step of a commit, as the journal records it, by bare names: R renames a complete temporary
// file onto a member, D removes a stale member (both in the set's folder), P puts the new record in
// place (in the state folder). file is the identity the file acted on must still have.
struct Step {
    char kind;
    std::string from;
    std::string to;
    OutputSet::Recorded file;
};

// Where a journal or a list of temporary files acts: the folder, found again by its identity.
struct Place {
    std::string folder;  // with its final separator
    unsigned long long device = 0, inode = 0;
    std::string base;  // the set's name
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
// held is the folder as the run holds it open (or invalid).
void SyncFolder(const std::string& folder, std::intptr_t held = CFile::kInvalidHandle) {
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

bool ParseUnsigned(const std::string& text, unsigned long long& value) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

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

void Append(std::string& bytes, const std::string& field) {
    bytes += field;
    bytes += '\0';
}

std::string EncodePlace(const char* magic, const Place& place) {
    std::string bytes;
    for (const std::string& field : {std::string(magic), place.folder, std::to_string(place.device), std::to_string(place.inode), place.base})
        Append(bytes, field);
    return bytes;
}

// The place a journal or a list names (fields from index 1); false when it is not one of ours.
bool DecodePlace(const std::vector<std::string>& fields, Place& place) {
    return fields.size() >= 5 && !fields[1].empty() && fields[1][0] == '/' && fields[1].back() == '/' &&
           ParseUnsigned(fields[2], place.device) && ParseUnsigned(fields[3], place.inode) && OutputSet::IsBareName(fields[4]) &&
           (place.folder = fields[1], place.base = fields[4], true);
}

std::string EncodeJournal(const Place& place, const std::vector<Step>& steps) {
    std::string bytes = EncodePlace(kJournalMagic, place);
    for (const Step& step : steps) {
        const OutputSet::Recorded& f = step.file;
        for (const std::string& field : {std::string(1, step.kind), step.from, step.to, std::to_string(f.device), std::to_string(f.inode),
                                         std::to_string(f.size), std::to_string(f.seconds), std::to_string(f.nanoseconds)})
            Append(bytes, field);
    }
    Append(bytes, "E");
    return bytes;
}

// False for a journal that is not one of ours or names anything but bare names.
bool DecodeJournal(const std::string& bytes, Place& place, std::vector<Step>& steps) {
    const std::vector<std::string> fields = OutputSet::SplitFields(bytes, kJournalMagic);
    if (fields.size() < 6 || !DecodePlace(fields, place) || (fields.size() - 6) % 8 != 0) return false;
    for (std::size_t i = 5; i + 1 < fields.size(); i += 8) {
        Step step{fields[i].size() == 1 ? fields[i][0] : '?', fields[i + 1], fields[i + 2], {}};
        OutputSet::Recorded& f = step.file;
        if (std::string("RDP").find(step.kind) == std::string::npos || !OutputSet::IsBareName(step.from) ||
            (step.kind != 'D' && !OutputSet::IsBareName(step.to)) || (step.kind == 'D' && !step.to.empty()) ||
            !ParseUnsigned(fields[i + 3], f.device) || !ParseUnsigned(fields[i + 4], f.inode) || !ParseUnsigned(fields[i + 5], f.size) ||
            !ParseNumber(fields[i + 6], f.seconds) || !ParseNumber(fields[i + 7], f.nanoseconds))
            return false;
        steps.push_back(step);
    }
    return true;
}

// The record in the state folder: the set's name, then the members as a record holds them.
std::string EncodeStateRecord(const std::string& base, const std::vector<OutputSet::Recorded>& members) {
    return base + '\0' + OutputSet::EncodeRecord(members);
}

bool DecodeStateRecord(const std::string& bytes, const std::string& base, std::vector<OutputSet::Recorded>& members) {
    const std::size_t end = bytes.find('\0');
    return end != std::string::npos && bytes.compare(0, end, base) == 0 && end == base.size() &&
           OutputSet::DecodeRecord(bytes.substr(end + 1), members);
}

// The temporary files a list names: as a run appends them, the last may be cut short.
bool DecodeTemps(const std::string& bytes, Place& place, std::vector<OutputSet::Recorded>& temps) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t end = bytes.find('\0'); end != std::string::npos; end = bytes.find('\0', from)) {
        fields.push_back(bytes.substr(from, end - from));
        from = end + 1;
    }
    if (fields.empty() || fields[0] != kTempsMagic || !DecodePlace(fields, place)) return false;
    for (std::size_t i = 5; i + 4 <= fields.size(); i += 4) {
        OutputSet::Recorded temp;
        temp.name = fields[i + 1];
        if (fields[i] != "T" || !OutputSet::IsBareName(temp.name) || !ParseUnsigned(fields[i + 2], temp.device) ||
            !ParseUnsigned(fields[i + 3], temp.inode))
            return false;
        temps.push_back(temp);
    }
    return true;
}

// Same file as recorded: the whole identity, or only device and inode for a temporary file
// still being written (size 0 and no time recorded).
bool IsStill(const struct stat& st, const OutputSet::Recorded& file, bool bWholeIdentity) {
    const OutputSet::Recorded found = Identity(file.name, st);
    if (!S_ISREG(st.st_mode)) return false;
    return bWholeIdentity ? OutputSet::SameFile(found, file) : found.device == file.device && found.inode == file.inode;
}

// Carries out one step; 0 or the error number. A step already done (its file gone) is found
// done; a file that is not the one the step names is left and added to strangers.
int Apply(const Step& step, const std::string& folder, const std::string& state, std::vector<CString>& strangers) {
    PosixCalls& os = PosixCalls::Current();
    const std::string& in = step.kind == 'P' ? state : folder;
    const std::string from = in + step.from;
    struct stat st {};
    if (os.Lstat(from.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (!IsStill(st, step.file, true)) {
        strangers.emplace_back(from);
        return 0;
    }
    if (step.kind == 'D') return os.Unlink(from.c_str()) == 0 || errno == ENOENT ? 0 : errno;
    return os.Rename(from.c_str(), (in + step.to).c_str()) == 0 ? 0 : errno;
}

// Makes the state folder (and its parents) for the user alone; 0 or the error number. One that
// exists must be a folder of the user's own.
int MakeStateFolder(const std::string& folder) {
    PosixCalls& os = PosixCalls::Current();
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!part.empty() && os.Mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        if (slash == std::string::npos || slash + 1 >= folder.size()) break;
    }
    struct stat st {};
    if (os.Stat(FolderToOpen(folder).c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    return st.st_uid == os.Geteuid() ? 0 : EACCES;
}

}  // namespace

std::string OutputSet::StateKey(unsigned long long device, unsigned long long inode, const std::string& base) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const unsigned char c : base) hash = (hash ^ c) * 1099511628211ull;
    static const char kHex[] = "0123456789abcdef";
    std::string tag(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) tag[static_cast<std::size_t>(i)] = kHex[hash & 15];
    return "set-" + std::to_string(device) + "-" + std::to_string(inode) + "-" + tag;
}

namespace {

// A temporary file in folder, created new, known to the signal handlers; -1 with errno.
int CreateHidden(const std::string& folder, const std::string& stem, std::string& name, unsigned mode) {
    PosixCalls& os = PosixCalls::Current();
    return CreateRegisteredFile(
        name, 100,
        [&] {
            return folder + stem + "." + std::to_string(static_cast<long>(os.Getpid())) + "-" + std::to_string(g_serial.fetch_add(1)) +
                   ".tmp";
        },
        O_NOFOLLOW, mode);
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
    // The file is in place (renamed) or the journal's now: it is no longer ours to remove.
    void Forget() noexcept {
        if (!path.empty()) ForgetTempFile(path.c_str());
        path.clear();
    }
    std::string Base(const std::string& folder) const { return path.substr(folder.size()); }
};

// The folder a journal or a list names, when it is still that folder (same identity).
bool SamePlace(const Place& place) {
    struct stat st {};
    return PosixCalls::Current().Stat(FolderToOpen(place.folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           static_cast<unsigned long long>(st.st_dev) == place.device && static_cast<unsigned long long>(st.st_ino) == place.inode;
}

std::string Joined(const std::vector<CString>& names) {
    std::string joined;
    for (std::size_t i = 0; i < names.size(); ++i) joined += (i ? ", " : "") + names[i].Str();
    return joined;
}

// A journal or list of the state folder that is not ours to obey: renamed aside, said.
void SetAside(const std::string& path, const std::string& what, std::vector<std::string>& warnings, std::string& advice) {
    const std::string aside = path + ".void";
    if (PosixCalls::Current().Rename(path.c_str(), aside.c_str()) != 0) {
        advice = what + " " + path + " は無効ですが、" + aside + " に移せません。取り除いてから、もう一度変換してください";
        Throw(errno, CString(path));
    }
    warnings.push_back(what + " " + path + " は無効なので従わず、" + aside + " に移しました");
}

// Removes the temporary files a list of a killed run names, when each is still the file it
// made (device and inode) in the folder the list names, found again by its identity; then the list.
void RemoveListedTemps(const std::string& list, std::vector<std::string>& warnings, std::string& advice) {
    PosixCalls& os = PosixCalls::Current();
    std::string bytes;
    int err = 0;
    Place place;
    std::vector<OutputSet::Recorded> temps;
    const Book book = ReadBook(list, bytes, err);
    if (book == Book::invalid || (book == Book::ok && !DecodeTemps(bytes, place, temps))) {
        SetAside(list, "一時ファイルの一覧", warnings, advice);
    } else if (book == Book::ok) {
        if (SamePlace(place)) {
            for (const OutputSet::Recorded& temp : temps) {
                struct stat st {};
                const std::string path = place.folder + temp.name;
                if (os.Lstat(path.c_str(), &st) == 0 && IsStill(st, temp, false)) os.Unlink(path.c_str());
            }
        }
        if (os.Unlink(list.c_str()) != 0) Throw(errno, CString(list));
    } else if (err != ENOENT && err != 0) {
        Throw(err, CString(list));
    }
}

// Completes the journal a killed run left for one set, then removes the temporary files that
// runs of that set left, when the state folder proves them theirs. The set's lock is held.
void RecoverKey(const std::string& state, const std::string& key, std::vector<std::string>& warnings, std::string& advice) {
    PosixCalls& os = PosixCalls::Current();
    const std::string journal = state + key + ".journal";
    std::string bytes;
    int err = 0;
    Book book = ReadBook(journal, bytes, err);
    Place place;
    std::vector<Step> steps;
    if (book == Book::invalid || (book == Book::ok && !DecodeJournal(bytes, place, steps))) {
        SetAside(journal, "ジャーナル", warnings, advice);
    } else if (book == Book::ok) {
        if (!SamePlace(place)) {
            warnings.push_back("中断された書き込みのジャーナル " + journal + " のフォルダー " + place.folder +
                               " が元のままではないため、従わずに削除しました");
        } else {
            std::vector<CString> strangers;
            for (const Step& step : steps)
                if (const int failed = Apply(step, place.folder, state, strangers)) {
                    advice = "中断された書き込みのジャーナル " + journal +
                             " を完了できません。中身を確かめて、不要なら削除してから、もう一度変換してください";
                    Throw(failed, CString((step.kind == 'P' ? state : place.folder) + (step.kind == 'D' ? step.from : step.to)));
                }
            if (!strangers.empty())
                warnings.push_back(Joined(strangers) + " は中断された書き込みが書いたファイルではないので、手を付けませんでした");
            SyncFolder(place.folder);
        }
        if (os.Unlink(journal.c_str()) != 0) Throw(errno, CString(journal));
        SyncFolder(state);
    } else if (err != ENOENT && err != 0) {
        Throw(err, CString(journal));
    }
    RemoveListedTemps(state + key + ".temps", warnings, advice);
}

// Takes the lock of one set in the state folder: the descriptor, -1 when another run holds it,
// or -2 with errno when it cannot be had.
int TakeLock(const std::string& path) {
    PosixCalls& os = PosixCalls::Current();
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        const int fd = os.Open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0) return -2;
        if (os.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            os.Close(fd);
            errno = err;
            return err == EWOULDBLOCK || err == EAGAIN ? -1 : -2;
        }
        // A lock taken on a file that its holder removed meanwhile is no lock: the name must
        // still lead to the same file.
        struct stat held {};
        struct stat named {};
        if (os.Fstat(fd, &held) == 0 && os.Lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return fd;
        os.Close(fd);
    }
    errno = EAGAIN;
    return -2;
}

// Lets a lock of the state folder go: removed while still held, so that whoever opens the name
// next makes a new lock.
void DropLock(const std::string& path, int fd) {
    PosixCalls& os = PosixCalls::Current();
    os.Unlink(path.c_str());
    os.Close(fd);
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
        // Not one another user planted in a shared folder: a FIFO there is a member's name, refused below.
        struct stat st {};
        struct stat named {};
        struct stat folder {};
        m_bDevice = os.Stat((m_strFolder + m_strBase).c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) &&
                    !(os.Lstat((m_strFolder + m_strBase).c_str(), &named) == 0 && named.st_uid != os.Geteuid() &&
                      os.Stat(FolderToOpen(m_strFolder).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX));
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
    if (m_bDevice) return OpenMember(strFileName);
    const std::string full = FullPath(strFileName.Str());
    // The journal names members by bare names of the set's folder.
    if (FolderPrefix(full) != m_strFolder) Throw(EXDEV, strFileName);
    // In a folder shared like /tmp another user's file is never replaced: refused before anything
    // changes (root could, and would then write over what another user keeps there).
    struct stat held {};
    struct stat folder {};
    if (os.Lstat(full.c_str(), &held) == 0 && held.st_uid != os.Geteuid() && os.Stat(FolderToOpen(m_strFolder).c_str(), &folder) == 0 &&
        (folder.st_mode & S_ISVTX)) {
        m_failure = full + " は共有フォルダーにある他のユーザーのファイルなので、置き換えません";
        throw CFileException(CFileException::accessDenied, EACCES, strFileName);
    }
    CSaveFile& file = OpenMember(strFileName);
    // The temporary file is listed in the state folder, so that the next run may remove it
    // should this one be killed; one that cannot be listed is removed at once. The list is made
    // with its first entry, after that member's file exists.
    if (!m_strState.empty()) {
        struct stat st {};
        const std::string& staged = file.GetStagedPath();
        const std::string list = m_strState + m_strKey + ".temps";
        int err = os.Lstat(staged.c_str(), &st) == 0 ? 0 : errno;
        std::string bytes;
        if (m_hTemps == CFile::kInvalidHandle) {
            struct stat id {};
            if (err == 0 && os.Stat(FolderToOpen(m_strFolder).c_str(), &id) != 0) err = errno;
            bytes = EncodePlace(kTempsMagic, {m_strFolder, static_cast<unsigned long long>(id.st_dev),
                                              static_cast<unsigned long long>(id.st_ino), m_strBase});
        }
        for (const std::string& field : {std::string("T"), staged.substr(FolderPrefix(staged).size()), std::to_string(st.st_dev),
                                         std::to_string(st.st_ino)})
            bytes += field + '\0';
        if (err == 0 && m_hTemps == CFile::kInvalidHandle) {
            std::string created;
            const int fd = CreateHidden(m_strState, m_strKey + ".temps", created, 0600);
            if (fd < 0) err = errno;
            if (fd >= 0) {
                err = WriteSynced(fd, bytes, false);
                if (err == 0 && os.Rename(created.c_str(), list.c_str()) != 0) err = errno;
                if (err != 0) {
                    os.Close(fd);
                    os.Unlink(created.c_str());
                } else {
                    m_hTemps = fd;
                }
                ForgetTempFile(created.c_str());
            }
        } else if (err == 0) {
            err = WriteSynced(static_cast<int>(m_hTemps), bytes, false);
        }
        if (err != 0) {
            file.Abort();
            m_files.pop_back();
            m_names.pop_back();
            Throw(err, CString(list));
        }
    }
    return file;
}

// The set's lock in the state folder, held with flock for the run and removed at its end, and the
// output folder held shared meanwhile. Without a state folder the output folder is held
// exclusive instead, so that no run with a state folder writes the set at the same time.
void OutputSet::Lock() {
    PosixCalls& os = PosixCalls::Current();
    m_bBusy = false;
    const auto busy = [&](int err) {
        m_bBusy = true;
        Unlock();
        throw CFileException(CFileException::sharingViolation, err, m_strSetName);
    };
    const int folder = os.Open(FolderToOpen(m_strFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    // No such folder: the writer's own message for the output says so.
    if (folder < 0 && (errno == ENOENT || errno == ENOTDIR))
        throw CFileException(CFileException::badPath, errno, m_strSetName);
    // A folder that may be written but not read is only not held.
    if (folder < 0 && errno != EACCES) Throw(errno, m_strSetName);
    m_hFolder = folder;
    struct stat id {};
    if ((folder >= 0 ? os.Fstat(folder, &id) : os.Stat(FolderToOpen(m_strFolder).c_str(), &id)) != 0) {
        const int err = errno;
        Unlock();
        Throw(err, m_strSetName);
    }
    const std::string state = UserStateFolder().Str();
    const int stateError = state.empty() ? ENOENT : MakeStateFolder(state);
    if (stateError == 0) {
        m_strState = state + "/";
        m_strKey = StateKey(static_cast<unsigned long long>(id.st_dev), static_cast<unsigned long long>(id.st_ino), m_strBase);
        const std::string lockPath = m_strState + m_strKey + ".lock";
        const int fd = TakeLock(lockPath);
        if (fd == -1) busy(EWOULDBLOCK);
        if (fd >= 0) {
            m_hLock = fd;
            m_strLockPath = lockPath;
            if (folder >= 0 && os.Flock(folder, LOCK_SH | LOCK_NB) != 0) {
                const int err = errno;
                if (err == EWOULDBLOCK || err == EAGAIN) busy(err);
                Unlock();
                Throw(err, m_strSetName);
            }
            return;
        }
        const int err = errno;
        // Only a state folder that takes no file is gone without; any other failure is the run's.
        if (err != EACCES && err != EPERM && err != EROFS) {
            Unlock();
            Throw(err, m_strSetName);
        }
        m_warnings.push_back("状態フォルダー " + state + " のロックを作れないため、前回の出力の不要なファイルは削除しません (" +
                             CFileException::OsErrorText(err) + ")");
    } else {
        // A state folder that cannot be had at all is gone without; a failure to look at it is the run's.
        if (stateError != ENOENT && stateError != ENOTDIR && stateError != EACCES && stateError != EPERM && stateError != EROFS &&
            stateError != ENOSPC && stateError != EDQUOT) {
            Unlock();
            Throw(stateError, CString(state));
        }
        m_warnings.push_back("状態フォルダー " + (state.empty() ? std::string("(HOME 未設定)") : state) +
                             " に書き込めないため、前回の出力の不要なファイルは削除しません (" + CFileException::OsErrorText(stateError) +
                             ")");
    }
    m_strState.clear();
    m_strKey.clear();
    if (folder >= 0 && os.Flock(folder, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK || err == EAGAIN) busy(err);
        Unlock();
        Throw(err, m_strSetName);
    }
}

void OutputSet::Unlock() noexcept {
    PosixCalls& os = PosixCalls::Current();
    const int savedErrno = errno;
    if (m_hTemps != CFile::kInvalidHandle) {
        // Every temporary file it lists is gone or a member by now.
        os.Close(static_cast<int>(m_hTemps));
        m_hTemps = CFile::kInvalidHandle;
        os.Unlink((m_strState + m_strKey + ".temps").c_str());
    }
    if (m_hLock != CFile::kInvalidHandle) {
        DropLock(m_strLockPath, static_cast<int>(m_hLock));
        m_strLockPath.clear();
        m_hLock = CFile::kInvalidHandle;
    }
    if (m_hFolder != CFile::kInvalidHandle) {
        os.Close(static_cast<int>(m_hFolder));
        m_hFolder = CFile::kInvalidHandle;
    }
    errno = savedErrno;
}

// Completes the commits of this user's runs that were killed in them (this set's first, then
// any other set whose lock no run holds), removes the temporary files they left, and starts
// this run's list of temporary files.
void OutputSet::Recover() {
    PosixCalls& os = PosixCalls::Current();
    if (!m_strState.empty()) {
        RecoverKey(m_strState, m_strKey, m_warnings, m_advice);
        std::vector<std::string> names;
        if (ListFolder(m_strState, names) == 0) {
            // The folder holds a record for every set this user has written: only the few names
            // the loop below acts on are kept and sorted, not every record's.
            const auto acted = [this](const std::string& name) {
                const std::size_t dot = name.rfind('.');
                if (dot == std::string::npos || name.compare(0, 4, "set-") != 0) return false;
                const std::string_view kind = std::string_view(name).substr(dot);
                if (kind == ".tmp") return name.size() > m_strKey.size() && name.compare(0, m_strKey.size(), m_strKey) == 0 && name[m_strKey.size()] == '.';
                return (kind == ".journal" || kind == ".temps") && std::string_view(name).substr(0, dot) != m_strKey;
            };
            names.erase(std::remove_if(names.begin(), names.end(), [&](const std::string& name) { return !acted(name); }), names.end());
            std::sort(names.begin(), names.end());
            std::string done;
            for (const std::string& name : names) {
                const std::size_t dot = name.rfind('.');
                if (dot == std::string::npos || name.compare(0, 4, "set-") != 0) continue;
                const std::string key = name.substr(0, dot);
                const std::string kind = name.substr(dot);
                // What a killed run of this set left of its record, journal or list on their way
                // (a list not yet in place already names the run's first temporary file).
                if (kind == ".tmp" && name.compare(0, m_strKey.size() + 1, m_strKey + ".") == 0) {
                    if (name.compare(0, m_strKey.size() + 7, m_strKey + ".temps.") == 0)
                        RemoveListedTemps(m_strState + name, m_warnings, m_advice);
                    else
                        os.Unlink((m_strState + name).c_str());
                    continue;
                }
                if (key == m_strKey || key == done || (kind != ".journal" && kind != ".temps")) continue;
                done = key;
                const std::string lockPath = m_strState + key + ".lock";
                const int fd = TakeLock(lockPath);
                if (fd < 0) continue;  // a run that is still going, or no lock to be had: later
                try {
                    std::string advice;
                    RecoverKey(m_strState, key, m_warnings, advice);
                } catch (const CFileException& error) {
                    m_warnings.push_back("中断された書き込みを完了できませんでした: " + error.m_strFileName.Str() + " (" +
                                         CFileException::OsErrorText(error.m_lOsError) + ")");
                }
                DropLock(lockPath, fd);
            }
        }
    }
    // A folder that cannot be listed is reported, not taken for one without stale members. The
    // one listing serves the commit's search for them: under the lock no run of this user adds a
    // member name, and each name listed is looked at again then. A file another program puts
    // there meanwhile is only not reported as left; nothing unlisted is ever removed.
    if (const int failed = ListFolder(m_strFolder, m_entries)) Throw(failed, CString(FolderToOpen(m_strFolder)));
}

// The earlier commit's record; one that is not ours is set aside and leaves nothing to remove.
// Without one, the record an earlier release left beside the set is read once.
void OutputSet::ReadRecord() {
    PosixCalls& os = PosixCalls::Current();
    m_record.clear();
    m_legacy = Recorded();
    if (m_strState.empty()) return;  // nothing is removed without a record of this commit
    const std::string record = m_strState + m_strKey + ".record";
    std::string bytes;
    int err = 0;
    const Book book = ReadBook(record, bytes, err);
    if (book == Book::ok && DecodeStateRecord(bytes, m_strBase, m_record)) return;
    m_record.clear();
    // A record that cannot be read leaves no way to tell the set's members: nothing is written.
    if (book == Book::absent && err != 0 && err != ENOENT) Throw(err, CString(record));
    if (book != Book::absent) SetAside(record, "出力の記録", m_warnings, m_advice);
    const std::string legacy = m_strFolder + HiddenName(m_strBase, ".record");
    struct stat st {};
    if (ReadBook(legacy, bytes, err) == Book::ok && DecodeRecord(bytes, m_record) && os.Lstat(legacy.c_str(), &st) == 0)
        m_legacy = Identity(legacy, st);
    else
        m_record.clear();
}

// What a commit does to the set's folder, found before the first member changes.
struct OutputSet::CommitPlan {
    std::vector<Step> steps;            // the members' renames, then the stale members' removals and the record's placing
    std::vector<Recorded> members;      // the new record: a renamed member keeps the identity of its temporary file
    std::vector<std::size_t> unstaged;  // members written directly (a device)
    std::vector<Step> stale;            // members of the earlier record still the files it names
};

// The commit's own files in the state folder: the new record and the journal, on their way.
struct OutputSet::CommitBooks {
    HiddenTemp record;
    HiddenTemp journalTemp;
    std::string journal;
    bool bState = false;    // a record is kept
    bool bJournal = false;  // the steps are journalled first
};

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
    CommitPlan plan;
    PlanMembers(plan);
    FindStale(plan);
    CommitSignalsBlocked blocked;
    CommitBooks books;
    WriteRecord(plan, books);
    WriteJournal(plan, books);
    ApplySteps(plan, books);
    Settle(plan, books);
}

// The record of the new set, made before any member changes: a renamed member keeps the
// identity of its temporary file.
void OutputSet::PlanMembers(CommitPlan& plan) {
    PosixCalls& os = PosixCalls::Current();
    const auto bare = [this](const std::string& path) { return path.substr(m_strFolder.size()); };
    struct stat folder {};
    const bool bShared = !m_bDevice && os.Stat(FolderToOpen(m_strFolder).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX);
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const std::string& staged = m_files[i]->GetStagedPath();
        const std::string name = bare(m_names[i]);
        struct stat st {};
        if (m_bDevice || staged.empty()) {
            plan.unstaged.push_back(i);
            continue;
        }
        // Planted since the member was added: another user's file stays, and so does the old set.
        if (bShared && os.Lstat(m_names[i].c_str(), &st) == 0 && st.st_uid != os.Geteuid()) {
            m_advice = m_names[i] + " は共有フォルダーにある他のユーザーのファイルなので、置き換えません";
            throw CFileException(CFileException::accessDenied, EACCES, CString(m_names[i]));
        }
        if (os.Lstat(staged.c_str(), &st) != 0) Throw(errno, m_files[i]->GetFilePath());
        plan.steps.push_back({'R', bare(staged), name, Identity(name, st)});
        plan.members.push_back(Identity(name, st));
    }
}

// Stale members: what the earlier record names and is still the file it was; anything else
// with a member's name stays, and is said. Without a state folder every one stays (said once).
void OutputSet::FindStale(CommitPlan& plan) {
    PosixCalls& os = PosixCalls::Current();
    const CString base(m_strBase);
    std::vector<std::string> entries = std::move(m_entries);
    std::sort(entries.begin(), entries.end());
    for (const std::string& entry : m_strState.empty() ? std::vector<std::string>() : entries) {
        const std::string path = m_strFolder + entry;
        if (!IsMemberName(base, CString(entry)) || std::find(m_names.begin(), m_names.end(), path) != m_names.end()) continue;
        struct stat st {};
        // Gone is no member; one that cannot be looked at fails the commit before anything
        // changes, else the old member would outlive the set and be taken for a user's file.
        if (os.Lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) continue;
            Throw(errno, CString(path));
        }
        if (S_ISDIR(st.st_mode) || Protected(path)) continue;
        const Recorded found = Identity(entry, st);
        const auto recorded = std::find_if(m_record.begin(), m_record.end(), [&](const Recorded& r) { return r.name == entry; });
        if (recorded != m_record.end() && SameFile(*recorded, found) && S_ISREG(st.st_mode))
            plan.stale.push_back({'D', entry, std::string(), found});
        else
            m_left.emplace_back(path);
    }
}

// The record is made before the first member changes: a state folder that takes none fails the
// commit with the old set whole. Its placing is the last step.
void OutputSet::WriteRecord(CommitPlan& plan, CommitBooks& books) {
    PosixCalls& os = PosixCalls::Current();
    const std::string recordName = m_strKey + ".record";
    HiddenTemp& record = books.record;
    books.journal = m_strState + m_strKey + ".journal";
    books.bState = !m_bDevice && !m_strState.empty();
    if (!books.bState) return;
    record.fd = CreateHidden(m_strState, recordName, record.path, 0600);
    if (record.fd < 0) Throw(errno, CString(m_strState + recordName));
    if (const int err = WriteSynced(record.fd, EncodeStateRecord(m_strBase, plan.members), false))
        Throw(err, CString(m_strState + recordName));
    const int fd = record.fd;
    record.fd = -1;
    if (os.Close(fd) != 0) Throw(errno, CString(m_strState + recordName));
    struct stat st {};
    if (os.Lstat(record.path.c_str(), &st) != 0) Throw(errno, CString(m_strState + recordName));
    plan.steps.insert(plan.steps.end(), plan.stale.begin(), plan.stale.end());
    plan.steps.push_back({'P', record.Base(m_strState), recordName, Identity(recordName, st)});
}

// The journal of the steps, in place before the first of them. One rename of a member, and the
// record's after it, need no journal: a run killed between them leaves an older record, which
// names nothing this commit wrote.
void OutputSet::WriteJournal(const CommitPlan& plan, CommitBooks& books) {
    PosixCalls& os = PosixCalls::Current();
    const std::vector<Step>& steps = plan.steps;
    const std::string& journal = books.journal;
    const std::size_t memberSteps = steps.size() - (books.bState ? 1 : 0);
    books.bJournal = books.bState && (memberSteps > 1 || (memberSteps == 1 && (steps[0].kind != 'R' || !plan.unstaged.empty())));
    if (!books.bJournal) return;
    HiddenTemp& journalTemp = books.journalTemp;
    struct stat id {};
    if (os.Stat(FolderToOpen(m_strFolder).c_str(), &id) != 0) Throw(errno, m_strSetName);
    const Place place{m_strFolder, static_cast<unsigned long long>(id.st_dev), static_cast<unsigned long long>(id.st_ino), m_strBase};
    journalTemp.fd = CreateHidden(m_strState, m_strKey + ".journal", journalTemp.path, 0600);
    if (journalTemp.fd < 0) Throw(errno, CString(journal));
    if (const int err = WriteSynced(journalTemp.fd, EncodeJournal(place, steps))) Throw(err, CString(journal));
    const int fd = journalTemp.fd;
    journalTemp.fd = -1;
    if (os.Close(fd) != 0) Throw(errno, CString(journal));
    if (os.Rename(journalTemp.path.c_str(), journal.c_str()) != 0) Throw(errno, CString(journal));
    journalTemp.Forget();
    SyncFolder(m_strState);
}

// Members written directly (a device) are written now, after every check; then the steps, each
// on the file it names only.
void OutputSet::ApplySteps(const CommitPlan& plan, CommitBooks& books) {
    for (std::size_t i : plan.unstaged) m_files[i]->Commit();
    std::vector<CString> strangers;
    for (const Step& step : plan.steps) {
        if (const int err = Apply(step, m_strFolder, m_strState, strangers)) {
            // What is left is the journal's now: the next run completes it.
            if (books.bJournal) {
                for (auto& file : m_files) file->Release();
                books.record.Forget();
                m_advice = "中断された書き込みのジャーナル " + books.journal + " が残っています。次の変換がこの書き込みを完了します";
            }
            Throw(err, CString((step.kind == 'P' ? m_strState : m_strFolder) + (step.kind == 'D' ? step.from : step.to)));
        }
        if (step.kind == 'D' && (strangers.empty() || strangers.back().Str() != m_strFolder + step.from))
            m_removed.emplace_back(m_strFolder + step.from);
    }
    // A stale member that changed since it was listed stays, and is said with the others.
    m_left.insert(m_left.end(), strangers.begin(), strangers.end());
    std::sort(m_left.begin(), m_left.end());
}

// The set in place: its files synced, the journal gone, an earlier release's record replaced,
// the members known to the run's later sets, the lock let go.
void OutputSet::Settle(const CommitPlan& plan, CommitBooks& books) {
    PosixCalls& os = PosixCalls::Current();
    const auto bare = [this](const std::string& path) { return path.substr(m_strFolder.size()); };
    books.record.Forget();
    for (auto& file : m_files) file->Release();
    SyncFolder(m_strFolder, m_hFolder);
    if (books.bJournal && os.Unlink(books.journal.c_str()) == 0) SyncFolder(m_strState);
    // An earlier release's record beside the set has served: the state folder's replaces it.
    if (books.bState && !m_legacy.name.empty()) {
        struct stat st {};
        if (os.Lstat(m_legacy.name.c_str(), &st) == 0 && SameFile(Identity(m_legacy.name, st), m_legacy)) os.Unlink(m_legacy.name.c_str());
    }
    for (const Recorded& member : plan.members) g_written.push_back({member, m_strFolder + m_strBase});
    for (std::size_t i : plan.unstaged) {
        struct stat st {};
        if (!m_bDevice && os.Stat(m_names[i].c_str(), &st) == 0) g_written.push_back({Identity(bare(m_names[i]), st), m_strFolder + m_strBase});
    }
    m_files.clear();
    Unlock();
}
