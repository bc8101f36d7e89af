// The set writer in-process: member names, stale members, runs killed inside a commit, failures
// at chosen calls, the lock, what killed runs left, the identity of what is removed, and other
// users' files in shared folders. The state folder is the test program's own (support/TempDir).
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/HostSystem.h"
#include "platform/OutputSet.h"
#include "support/ChildProcess.h"
#include "support/FailingPosixCalls.h"
#include "support/SetFiles.h"
#include "support/TempDir.h"

namespace {
using Call = FailingPosixCalls::Call;
using Files = std::map<std::string, std::string>;

Files Contents(const TempDir& dir) {
    Files files;
    for (const std::string& name : dir.List())
        files[name] = std::filesystem::is_directory(dir.File(name)) ? "<folder>" : ReadFileBytes(dir.File(name));
    return files;
}

void Lay(const TempDir& dir, const Files& files) {
    for (const auto& file : files) WriteFileBytes(dir.File(file.first), file.second);
}

// Calls that end the process at the n-th call of a kind, as SIGKILL would.
class DyingCalls : public FailingPosixCalls {
public:
    DyingCalls(Call call, int nth) : m_call(call), m_nth(nth) {}
    int Rename(const char* from, const char* to) override {
        Die(Call::Rename);
        return FailingPosixCalls::Rename(from, to);
    }
    int Unlink(const char* path) override {
        Die(Call::Unlink);
        return FailingPosixCalls::Unlink(path);
    }

private:
    void Die(Call call) {
        if (call == m_call && ++m_seen == m_nth) ::kill(::getpid(), SIGKILL);
    }
    Call m_call;
    int m_nth;
    int m_seen = 0;
};

const Files kOldSet = {{"set-1.xml", "old 1"}, {"set-2.xml", "old 2"}, {"set-3.xml", "old 3"}};
const Files kNewSet = {{"set-1.xml", "new 1"}, {"set-2.xml", "new 2"}};
const Files kForeign = {{"set-1.xml.bak", "b"}, {"set-.xml", "c"}, {"set-1a.xml", "d"}, {"Set-4.xml", "e"}, {"other.xml", "f"}};

Files With(Files files, const Files& more) {
    files.insert(more.begin(), more.end());
    return files;
}

// The files a commit of members leaves: the members, and nothing beside them.
Files Recorded(const Files& members) { return members; }

// The set's files in the state folder: after any run that ended, its record at most.
std::vector<std::string> StateOf(const TempDir& dir) {
    std::vector<std::string> found;
    for (const char* suffix : {".record", ".journal", ".lock", ".temps"})
        if (FileExists(StateFile(dir.Path(), "set.xml", suffix))) found.push_back(suffix);
    return found;
}
}  // namespace

TEST(OutputSet, OnlyTheSetsOwnNamesAreMembers) {
    struct Row {
        const char* set;
        const char* name;
        bool member;
    };
    const Row rows[] = {
        {"p.xml", "p.xml", true},
        {"p.xml", "p-1.xml", true},
        {"p.xml", "p-0123.xml", true},
        {"p.xml", "p-.xml", false},
        {"p.xml", "p-1a.xml", false},
        {"p.xml", "p-1.xml.bak", false},
        {"p.xml", "P-1.xml", false},
        {"p.xml", "p-1.XML", false},
        {"p.xml", "p1.xml", false},
        {"p.xml", ".p-1.xml", false},
        {"p.tar.xml", "p.tar-2.xml", true},
        {"p", "p-7", true},
        {"p", "p-7.xml", false},
        {"p.xml", "p.xml.1234-0.tmp", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(OutputSet::IsMemberName(row.set, row.name), row.member) << row.set << " " << row.name;
}

TEST(OutputSet, CommitReplacesMembersAndRemovesStaleOnesOnly) {
    struct Row {
        Files before;   // an earlier commit of the set
        Files planted;  // files of the members' names that no commit wrote
        Files members;
        std::vector<std::string> removed;
        std::vector<std::string> left;
    };
    const Row rows[] = {
        {kOldSet, {}, kNewSet, {"set-3.xml"}, {}},
        {kOldSet, {{"set.xml", "x"}}, {{"set.xml", "one"}}, {"set-1.xml", "set-2.xml", "set-3.xml"}, {}},
        {{{"set.xml", "x"}}, {}, kNewSet, {"set.xml"}, {}},
        {{}, {}, kNewSet, {}, {}},
        // A user's files with the set's names, never written by a commit of it, stay.
        {{}, kOldSet, {{"set.xml", "one"}}, {}, {"set-1.xml", "set-2.xml", "set-3.xml"}},
        {{{"set.xml", "x"}}, {{"set-2.xml", "mine"}, {"set-7.xml", "mine"}}, {{"set-1.xml", "a"}}, {"set.xml"}, {"set-2.xml", "set-7.xml"}},
    };
    for (const Row& row : rows) {
        TempDir dir;
        Lay(dir, kForeign);
        if (!row.before.empty()) {
            ASSERT_EQ(WriteSet(dir, row.before), "");
        }
        Lay(dir, row.planted);
        ASSERT_EQ(mkdir(dir.File("set-9.xml").c_str(), 0755), 0);  // a folder is never removed
        OutputSet set(CString(dir.File("set.xml")));
        for (const auto& member : row.members) {
            CSaveFile& file = set.Add(CString(dir.File(member.first)));
            file.Write(member.second.data(), static_cast<unsigned>(member.second.size()));
            set.Finish(file);
        }
        set.Commit();
        Files kept;
        for (const std::string& name : row.left) kept[name] = With(row.before, row.planted).at(name);
        EXPECT_EQ(Contents(dir), With(With(Recorded(row.members), With(kept, kForeign)), {{"set-9.xml", "<folder>"}}));
        const auto bare = [&](const std::vector<CString>& paths) {
            std::vector<std::string> names;
            for (const CString& path : paths) names.push_back(path.Str().substr(dir.Path().size() + 1));
            return names;
        };
        EXPECT_EQ(bare(set.GetRemoved()), row.removed);
        EXPECT_EQ(bare(set.GetLeft()), row.left);
        EXPECT_EQ(StateOf(dir), std::vector<std::string>{".record"});
    }
}

// A run killed at each rename or removal of its commit: the next run that writes the set first
// completes that commit, whatever moment it stopped at, and removes the temporary files it left.
TEST(OutputSet, ARunKilledInsideItsCommitIsCompletedByTheNextRun) {
    // The commit of kNewSet over kOldSet: renames 1 the list of temporary files, 2 the journal,
    // 3 and 4 the members, 5 the record; unlinks 1 the stale member, 2 the journal.
    const std::pair<Call, int> deaths[] = {{Call::Rename, 1}, {Call::Rename, 2}, {Call::Rename, 3}, {Call::Rename, 4}, {Call::Rename, 5}, {Call::Unlink, 1}, {Call::Unlink, 2}};
    for (const auto& death : deaths) {
        SCOPED_TRACE(FailingPosixCalls::Name(death.first) + std::to_string(death.second));
        TempDir dir;
        ASSERT_EQ(WriteSet(dir, kOldSet), "");
        const pid_t child = fork();
        if (child == 0) {
            DyingCalls dying(death.first, death.second);
            WriteSet(dir, kNewSet);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        {
            OutputSet next(CString(dir.File("set.xml")));
            next.Add(CString(dir.File("set.xml")));
            Files got = Contents(dir);
            // The next run's own temporary file, while it runs.
            for (auto it = got.begin(); it != got.end();)
                it = it->first.find("." + std::to_string(getpid()) + "-") != std::string::npos ? got.erase(it) : std::next(it);
            // Killed before its journal was in place, the run changed nothing.
            EXPECT_EQ(got, death.second <= 2 && death.first == Call::Rename ? kOldSet : kNewSet);
            EXPECT_TRUE(next.GetWarnings().empty());
        }
        EXPECT_EQ(StateOf(dir), std::vector<std::string>{".record"});
    }
}

// A commit killed once its journal is in place is completed by the next run of any set, found
// among the records of many others; what the loop does not own in the state folder stays.
TEST(OutputSet, AKilledCommitIsCompletedByAnotherSetsRunAmongManyRecords) {
    const struct {
        Call call;
        int nth;
        Files after;
    } rows[] = {
        {Call::Rename, 2, kOldSet},
        {Call::Rename, 3, kNewSet},
        {Call::Rename, 4, kNewSet},
        {Call::Rename, 5, kNewSet},
        {Call::Unlink, 1, kNewSet},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(FailingPosixCalls::Name(row.call) + std::to_string(row.nth));
        TempDir killed, other;
        ASSERT_EQ(WriteSet(killed, kOldSet), "");
        const std::string state = std::filesystem::path(StateFile(killed.Path(), "set.xml", ".record")).parent_path().string() + "/";
        // Records of other sets on either side of the killed one's name, and names the
        // recovery has no business with: another set's file on its way, a journal not a set's.
        std::vector<std::string> planted = {"set-0-0-0.record.1-1.tmp", "set-~.journal.x", "notaset.journal", "set-~~.lock"};
        for (int k = 0; k < 400; ++k) planted.push_back((k % 2 ? "set-0-" : "set-~-") + std::to_string(k) + ".record");
        for (const std::string& name : planted) WriteFileBytes(state + name, "not the loop's");
        const pid_t child = fork();
        if (child == 0) {
            DyingCalls dying(row.call, row.nth);
            WriteSet(killed, kNewSet);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        ASSERT_EQ(WriteSet(other, {{"set.xml", "other"}}), "");
        EXPECT_EQ(Contents(killed), row.after);
        EXPECT_EQ(StateOf(killed), std::vector<std::string>{".record"});
        for (const std::string& name : planted) {
            EXPECT_EQ(ReadFileBytes(state + name), "not the loop's") << name;
            std::remove((state + name).c_str());
        }
    }
}

TEST(OutputSet, FailuresBeforeTheCommitLeaveTheOldSetAndNoTemporaryFile) {
    struct Row {
        Call call;
        int nth;
        int err;
        std::string failure;  // cause, errno, file
    };
    // Opens: 1 the folder, 2 the lock, 3 a journal, 4 a list of temporary files, 5 the record,
    // 6 and 9 the old members (read, for another program's lock), 7 and 10 the new members'
    // temporary files, 8 this run's list (with its first entry), 11 and 12 the members written
    // out, again to sync them, 13 the new record, 14 the new journal. Writes: 1 and 3 the list, 2 and 4 the members, 5 the record, 6 the journal. The
    // state folder's listing is the first, the set's folder's the second.
    const Row rows[] = {
        {Call::Open, 1, EMFILE, "4 24 set.xml"},
        {Call::Open, 2, EMFILE, "4 24 set.xml"},
        {Call::Open, 10, ENOSPC, "13 28 set-2.xml"},
        {Call::Fsync, 2, EIO, "10 5 set-2.xml"},
        {Call::Open, 11, EMFILE, "4 24 set-1.xml"},
        {Call::Open, 12, EIO, "10 5 set-2.xml"},
        {Call::Open, 13, ENOSPC, "13 28 @.record"},
        {Call::Open, 14, ENOSPC, "13 28 @.journal"},
        {Call::Write, 1, ENOSPC, "13 28 @.temps"},
        {Call::Write, 3, ENOSPC, "13 28 @.temps"},
        {Call::Write, 5, ENOSPC, "13 28 @.record"},
        {Call::Write, 6, ENOSPC, "13 28 @.journal"},
        // The folder's one listing, for the stale members.
        {Call::ReadFolder, 2, EIO, "10 5 "},
        {Call::ReadFolder, 2, EACCES, "5 13 "},
    };
    for (const Row& row : rows) {
        TempDir dir;
        ASSERT_EQ(WriteSet(dir, kOldSet), "");
        std::string failure;
        {
            FailingPosixCalls calls;
            calls.Fail(row.call, row.nth, row.err);
            failure = WriteSet(dir, kNewSet);
        }
        const std::string file = row.failure.substr(row.failure.rfind(' ') + 1);
        EXPECT_EQ(failure, row.failure.substr(0, row.failure.rfind(' ') + 1) +
                               (file[0] == '@' ? StateFile(dir.Path(), "set.xml", file.substr(1)) : dir.File(file)))
            << FailingPosixCalls::Name(row.call) << row.nth;
        EXPECT_EQ(Contents(dir), kOldSet) << FailingPosixCalls::Name(row.call) << row.nth;
        EXPECT_EQ(StateOf(dir), std::vector<std::string>{".record"}) << FailingPosixCalls::Name(row.call) << row.nth;
    }
}

namespace {
// The calls that write, sync and rename the set's members, in order: "w1" a write to a member's
// temporary file (by its name's digit), "s1" its sync, "r1" its rename.
class OrderCalls : public FailingPosixCalls {
public:
    int Open(const char* path, int flags, mode_t mode) override {
        const int fd = FailingPosixCalls::Open(path, flags, mode);
        const std::string name = path;
        const std::size_t dash = name.rfind("/.set-");
        if (fd >= 0 && dash != std::string::npos) m_member[fd] = name.substr(dash + 6, 1);
        return fd;
    }
    ssize_t Write(int fd, const void* buf, size_t count) override {
        Note("w", fd);
        return FailingPosixCalls::Write(fd, buf, count);
    }
    int Fsync(int fd) override {
        Note("s", fd);
        return FailingPosixCalls::Fsync(fd);
    }
    int Close(int fd) override {
        m_member.erase(fd);
        return FailingPosixCalls::Close(fd);
    }
    int Rename(const char* from, const char* to) override {
        const std::string name = to;
        if (name.size() > 5 && name.compare(name.size() - 5, 5, "1.xml") == 0) m_order += "r1 ";
        if (name.size() > 5 && name.compare(name.size() - 5, 5, "2.xml") == 0) m_order += "r2 ";
        return FailingPosixCalls::Rename(from, to);
    }
    std::string m_order;

private:
    void Note(const char* kind, int fd) {
        if (m_member.count(fd)) m_order += kind + m_member[fd] + " ";
    }
    std::map<int, std::string> m_member;
};
}  // namespace

// Every member is written before the first waits for the disk, and each is synced before any
// takes its place.
TEST(OutputSet, MembersAreAllWrittenBeforeAnyIsSyncedAndSyncedBeforeAnyIsRenamed) {
    TempDir dir;
    ASSERT_EQ(WriteSet(dir, kOldSet), "");
    OrderCalls calls;
    ASSERT_EQ(WriteSet(dir, kNewSet), "");
    EXPECT_EQ(calls.m_order, "w1 w2 s1 s2 r1 r2 ");
    EXPECT_EQ(Contents(dir), kNewSet);
}

// A member's temporary file put aside and another put in its name before the commit: the set
// fails whole, the other file is neither synced into place nor removed. A failed hint to start
// writing costs nothing.
TEST(OutputSet, AMemberReplacedBeforeItsSyncFailsTheSetAndAFailedHintIsHarmless) {
    TempDir dir;
    ASSERT_EQ(WriteSet(dir, kOldSet), "");
    std::string planted;
    try {
        OutputSet set(CString(dir.File("set.xml")));
        CSaveFile& file = set.Add(CString(dir.File("set-1.xml")));
        file.Write("new", 3);
        set.Finish(file);
        planted = file.GetStagedPath();
        ASSERT_EQ(std::rename(planted.c_str(), dir.File("aside").c_str()), 0);
        WriteFileBytes(planted, "another");
        set.Commit();
        ADD_FAILURE() << "committed";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_lOsError, ESTALE);
    }
    Files expected = kOldSet;
    expected["aside"] = "new";
    expected[planted.substr(planted.rfind('/') + 1)] = "another";
    EXPECT_EQ(Contents(dir), expected);

    TempDir clean;
    FailingPosixCalls calls;
    calls.Fail(Call::SyncFileRange, 1, EIO, true);
    ASSERT_EQ(WriteSet(clean, kNewSet), "");
    EXPECT_EQ(Contents(clean), kNewSet);
    EXPECT_EQ(calls.Count(Call::SyncFileRange), static_cast<int>(kNewSet.size()));
}

// A member replacing the user's own file takes its mode, even one without reading or writing,
// which is given only after the member was written out; a new member takes the umask's.
TEST(OutputSet, MembersKeepTheModesOfTheFilesTheyReplace) {
    const struct {
        unsigned old;  // the old member's mode, or 0 for none
        mode_t mask;
        unsigned expected;
    } rows[] = {{0640, 022, 0640}, {0000, 022, 0000}, {0200, 022, 0200}, {0, 0277, 0400}, {0, 022, 0644}};
    for (const auto& row : rows) {
        TempDir dir;
        if (row.old != 0 || row.expected == 0) {
            WriteFileBytes(dir.File("set-1.xml"), "old");
            ASSERT_EQ(chmod(dir.File("set-1.xml").c_str(), row.old), 0);
        }
        const mode_t saved = umask(row.mask);
        const std::string failure = WriteSet(dir, {{"set-1.xml", "new 1"}});
        umask(saved);
        ASSERT_EQ(failure, "") << std::oct << row.old;
        struct stat st {};
        ASSERT_EQ(stat(dir.File("set-1.xml").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, row.expected) << std::oct << row.old << " " << row.mask;
        EXPECT_EQ(ReadFileBytes(dir.File("set-1.xml")), "new 1");
    }
}

TEST(OutputSet, ASetHeldByAnotherRunIsRefusedAndLeftAlone) {
    TempDir dir;
    ASSERT_EQ(WriteSet(dir, kOldSet), "");
    OutputSet holder(CString(dir.File("set.xml")));
    holder.Add(CString(dir.File("set-1.xml")));
    OutputSet set(CString(dir.File("set.xml")));
    try {
        set.Add(CString(dir.File("set-1.xml")));
        ADD_FAILURE() << "the set was not refused";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
        EXPECT_EQ(e.m_strFileName.Str(), dir.File("set.xml"));
    }
    EXPECT_TRUE(set.Busy());
    EXPECT_EQ(Contents(dir).size(), kOldSet.size() + 1);  // and the holder's temporary file
}

// The temporary files of a killed run are removed by the next run, as the state folder proves
// them its own; a file named like one that it does not list stays.
TEST(OutputSet, TemporaryFilesOfAKilledRunAreRemovedWhenProvenItsOwn) {
    TempDir dir;
    const pid_t child = fork();
    if (child == 0) {
        OutputSet set(CString(dir.File("set.xml")));
        for (const char* name : {"set-1.xml", "set-2.xml"}) set.Add(CString(dir.File(name))).Write("half", 4);
        ::kill(::getpid(), SIGKILL);
        _exit(0);
    }
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string planted = ".set-3.xml." + std::to_string(child) + "-7.tmp";
    WriteFileBytes(dir.File(planted), "not the run's");
    ASSERT_EQ(dir.List().size(), 3u);
    ASSERT_EQ(WriteSet(dir, {{"set.xml", "whole"}}), "");
    EXPECT_EQ(Contents(dir), (Files{{planted, "not the run's"}, {"set.xml", "whole"}}));
    EXPECT_EQ(StateOf(dir), std::vector<std::string>{".record"});
}

// More temporary files than the handlers once had room for are all removed on a signal.
TEST(OutputSet, EveryTemporaryFileOfALargeSetIsRemovedOnASignal) {
    TempDir dir;
    const pid_t child = fork();
    if (child == 0) {
        RemoveTempFilesOnSignals();
        OutputSet set(CString(dir.File("set.xml")));
        for (int k = 1; k <= 4200; ++k) set.Finish(set.Add(CString(dir.File("set-" + std::to_string(k) + ".xml"))));
        ::raise(SIGTERM);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(dir.List(), std::vector<std::string>{});
}

namespace {
// The identity fields a journal step carries for the file at path ("0" each when there is none).
std::vector<std::string> IdentityOf(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return {"0", "0", "0", "0", "0"};
    return {std::to_string(st.st_dev), std::to_string(st.st_ino), std::to_string(st.st_size), std::to_string(st.st_mtim.tv_sec),
            std::to_string(st.st_mtim.tv_nsec)};
}

// A journal as a killed run leaves it for the set.xml of folder, with the given steps (kind,
// from, to, then the identity fields).
std::string Journal(const std::string& folder, const std::vector<std::vector<std::string>>& steps,
                    const char* magic = "quorvel set journal 3") {
    struct stat st {};
    stat(folder.c_str(), &st);
    std::string bytes;
    for (const std::string& field : {std::string(magic), folder + "/", std::to_string(st.st_dev), std::to_string(st.st_ino), std::string("set.xml")})
        bytes += field + '\0';
    for (const auto& step : steps) {
        for (const std::string& field : step) bytes += field + '\0';
        for (std::size_t i = step.size(); i < 8; ++i) bytes += (i < 3 ? "" : "0") + std::string(1, '\0');
    }
    return bytes + "E" + '\0';
}

std::vector<std::string> Step(const char* kind, const std::string& from, const std::string& to, const std::vector<std::string>& id) {
    std::vector<std::string> step = {kind, from, to};
    step.insert(step.end(), id.begin(), id.end());
    return step;
}

std::string Failure(const std::function<void()>& run) {
    try {
        run();
    } catch (const CFileException& e) {
        return std::to_string(e.m_cause) + " " + e.m_strFileName.Str();
    }
    return "";
}
}  // namespace

// A journal that names anything but bare names, or is no regular file of the running user, is
// set aside unobeyed and said once; the files it names stay as they were.
TEST(OutputSet, JournalsThatAreNotTheSetsOwnAreSetAsideUnobeyed) {
    using Plant = std::function<void(const std::string& folder, const std::string& journal)>;
    struct Row {
        const char* what;
        Plant plant;
        bool rootOnly;
    };
    const auto write = [](const std::function<std::string(const std::string&)>& bytes) -> Plant {
        return [bytes](const std::string& folder, const std::string& journal) { WriteFileBytes(journal, bytes(folder)); };
    };
    const Row rows[] = {
        {"a removal outside the folder", write([](const std::string& f) { return Journal(f, {Step("D", "../victim", "", IdentityOf(f + "/../victim"))}); }), false},
        {"an absolute rename", write([](const std::string& f) { return Journal(f, {Step("R", f + "/victim", "set.xml", IdentityOf(f + "/victim"))}); }), false},
        {"an older release's journal",
         write([](const std::string& f) { return Journal(f, {Step("D", "victim", "", IdentityOf(f + "/victim"))}, "quorvel set journal 2"); }), false},
        {"a FIFO", [](const std::string&, const std::string& journal) { ASSERT_EQ(mkfifo(journal.c_str(), 0600), 0); }, false},
        {"a link to /dev/zero", [](const std::string&, const std::string& journal) { ASSERT_EQ(symlink("/dev/zero", journal.c_str()), 0); }, false},
        {"a dangling link",
         [](const std::string& folder, const std::string& journal) { ASSERT_EQ(symlink((folder + "/made").c_str(), journal.c_str()), 0); },
         false},
        {"a journal larger than any set's",
         [](const std::string& folder, const std::string& journal) {
             WriteFileBytes(journal, Journal(folder, {Step("D", "victim", "", IdentityOf(folder + "/victim"))}));
             ASSERT_EQ(truncate(journal.c_str(), 50 << 20), 0);
         },
         false},
        {"another user's journal",
         [](const std::string& folder, const std::string& journal) {
             WriteFileBytes(journal, Journal(folder, {Step("D", "victim", "", IdentityOf(folder + "/victim"))}));
             ASSERT_EQ(chown(journal.c_str(), 65534, 65534), 0);
         },
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.rootOnly && geteuid() != 0) continue;  // only root can give a file away
        TempDir outer;
        const std::string folder = outer.File("sets");
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        WriteFileBytes(outer.File("victim"), "the user's");
        WriteFileBytes(folder + "/victim", "the user's too");
        ASSERT_EQ(WriteSet(outer, {}), "");  // makes the state folder
        const std::string journal = StateFile(folder, "set.xml", ".journal");
        row.plant(folder, journal);
        OutputSet set(CString(folder + "/set.xml"));
        for (const char* name : {"set-1.xml", "set-2.xml"}) {
            CSaveFile& file = set.Add(CString(folder + "/" + name));
            file.Write("new", 3);
            set.Finish(file);
        }
        set.Commit();
        EXPECT_EQ(set.GetWarnings(), std::vector<std::string>{"ジャーナル " + journal + " は無効なので従わず、" + journal + ".void に移しました"});
        EXPECT_EQ(ReadFileBytes(outer.File("victim")), "the user's");
        EXPECT_EQ(ReadFileBytes(folder + "/victim"), "the user's too");
        EXPECT_FALSE(FileExists(folder + "/made"));
        struct stat st {};
        EXPECT_EQ(lstat((journal + ".void").c_str(), &st), 0);
        EXPECT_EQ(lstat(journal.c_str(), &st), -1);
        EXPECT_EQ(ReadFileBytes(folder + "/set-2.xml"), "new");
        unlink((journal + ".void").c_str());
    }
}

// A journal of ours that cannot be completed stops the run, naming the journal and what to do.
TEST(OutputSet, AJournalThatCannotBeCompletedIsNamedWithWhatToDo) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("set-5.xml").c_str(), 0755), 0);
    WriteFileBytes(dir.File("set-5.xml/inside"), "x");
    WriteFileBytes(dir.File(".set-5.xml.1-0.tmp"), "complete");
    const std::string journal = StateFile(dir.Path(), "set.xml", ".journal");
    ASSERT_EQ(WriteSet(dir, {}), "");
    WriteFileBytes(journal, Journal(dir.Path(), {Step("R", ".set-5.xml.1-0.tmp", "set-5.xml", IdentityOf(dir.File(".set-5.xml.1-0.tmp")))}));
    OutputSet set(CString(dir.File("set.xml")));
    EXPECT_EQ(Failure([&] { set.Add(CString(dir.File("set.xml"))); }),
              std::to_string(CFileException::OsErrorToException(EISDIR)) + " " + dir.File("set-5.xml"));
    EXPECT_EQ(set.GetAdvice(), "中断された書き込みのジャーナル " + journal +
                                   " を完了できません。中身を確かめて、不要なら削除してから、もう一度変換してください");
    unlink(journal.c_str());
}

// Every removal and rename a journal holds proves the file is still the one meant: a document the
// user put under a member's name after the run was killed stays, named in one warning.
TEST(OutputSet, RemovalsProveTheFileIsStillTheOneMeant) {
    struct Row {
        const char* what;
        std::function<void(const TempDir&)> change;  // what happens to s-3's file after the kill
        bool removed;
    };
    const Row rows[] = {
        {"left as the run knew it", [](const TempDir&) {}, true},
        {"replaced by the user's document",
         [](const TempDir& dir) {
             unlink(dir.File("set-3.xml").c_str());
             WriteFileBytes(dir.File("set-3.xml"), "old 3");
         },
         false},
        {"written again in place", [](const TempDir& dir) { WriteFileBytes(dir.File("set-3.xml"), "the user's"); }, false},
        {"a folder now", [](const TempDir& dir) {
             unlink(dir.File("set-3.xml").c_str());
             mkdir(dir.File("set-3.xml").c_str(), 0755);
         },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        ASSERT_EQ(WriteSet(dir, kOldSet), "");
        const std::string journal = StateFile(dir.Path(), "set.xml", ".journal");
        const std::string bytes = Journal(dir.Path(), {Step("D", "set-3.xml", "", IdentityOf(dir.File("set-3.xml")))});
        timespec later[2] = {{0, UTIME_OMIT}, {1, 0}};
        row.change(dir);
        if (std::string(row.what) == "written again in place") utimensat(AT_FDCWD, dir.File("set-3.xml").c_str(), later, 0);
        WriteFileBytes(journal, bytes);
        OutputSet set(CString(dir.File("set.xml")));
        set.Add(CString(dir.File("set-1.xml")));
        EXPECT_EQ(FileExists(dir.File("set-3.xml")), !row.removed);
        EXPECT_EQ(set.GetWarnings(), row.removed ? std::vector<std::string>{}
                                                 : std::vector<std::string>{dir.File("set-3.xml") +
                                                                            " は中断された書き込みが書いたファイルではないので、手を付けませんでした"});
        EXPECT_FALSE(FileExists(journal));
    }
}

// After every road a run can end by, the folder holds the inputs and the outputs, nothing else,
// and the state folder only the record of a committed set.
TEST(OutputSet, NothingButTheMembersIsLeftBesideThem) {
    struct Row {
        const char* what;
        std::function<void(const TempDir&)> run;
        Files after;
        std::vector<std::string> state;
    };
    const Row rows[] = {
        {"committed", [](const TempDir& dir) { ASSERT_EQ(WriteSet(dir, kNewSet), ""); }, With(kNewSet, {{"in.gpx", "i"}}), {".record"}},
        {"abandoned",
         [](const TempDir& dir) {
             OutputSet set(CString(dir.File("set.xml")));
             set.Add(CString(dir.File("set-1.xml"))).Write("x", 1);
         },
         {{"in.gpx", "i"}},
         {}},
        {"failed at a member",
         [](const TempDir& dir) {
             FailingPosixCalls calls;
             calls.FailOpenOf("set-2.xml", ENOSPC);
             EXPECT_NE(WriteSet(dir, kNewSet), "");
         },
         {{"in.gpx", "i"}},
         {}},
        {"failed in the commit, before any member changed",
         [](const TempDir& dir) {
             FailingPosixCalls calls;
             calls.Fail(Call::Rename, 2, EIO);  // the journal's
             EXPECT_NE(WriteSet(dir, kNewSet), "");
         },
         {{"in.gpx", "i"}},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        WriteFileBytes(dir.File("in.gpx"), "i");
        row.run(dir);
        EXPECT_EQ(Contents(dir), row.after);
        EXPECT_EQ(StateOf(dir), row.state);
        // A later folder may get this one's inode, and so its record.
        unlink(StateFile(dir.Path(), "set.xml", ".record").c_str());
    }
}

// Every step a commit needs is possible before the first member changes: a state folder where
// the record cannot be made keeps the old set whole.
TEST(OutputSet, ACommitThatCannotBeJournaledChangesNothing) {
    TempDir dir;
    ASSERT_EQ(WriteSet(dir, kOldSet), "");
    std::string failure;
    {
        FailingPosixCalls calls;
        calls.FailOpenOf(".record.", EACCES);
        failure = WriteSet(dir, kNewSet);
    }
    EXPECT_EQ(failure, std::to_string(CFileException::accessDenied) + " 13 " + StateFile(dir.Path(), "set.xml", ".record"));
    EXPECT_EQ(Contents(dir), kOldSet);
}

// A state folder that cannot be written: the set is still written, its stale members kept, with
// one warning; a set of an earlier release is recognised once by its record beside it.
TEST(OutputSet, WithoutAStateFolderStaleMembersStayAndAnEarlierReleasesRecordServesOnce) {
    TempDir dir;
    ASSERT_EQ(WriteSet(dir, kOldSet), "");
    const std::string saved = std::getenv("XDG_STATE_HOME");
    TempDir unwritable;
    WriteFileBytes(unwritable.File("quorvel"), "a file, no folder");
    setenv("XDG_STATE_HOME", unwritable.Path().c_str(), 1);
    {
        OutputSet set(CString(dir.File("set.xml")));
        for (const auto& member : kNewSet) set.Finish(set.Add(CString(dir.File(member.first))));
        set.Commit();
        EXPECT_EQ(set.GetWarnings(), std::vector<std::string>{"状態フォルダー " + unwritable.File("quorvel") +
                                                              " に書き込めないため、前回の出力の不要なファイルは削除しません (" +
                                                              CFileException::OsErrorText(ENOTDIR) + ")"});
    }
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"set-1.xml", "set-2.xml", "set-3.xml"}));
    // An earlier release's record beside the set: read once, then gone.
    unlink(StateFile(dir.Path(), "set.xml", ".record").c_str());
    ASSERT_EQ(WriteSet(dir, kOldSet), "");
    std::string legacy = "quorvel set record 1";
    legacy += '\0';
    for (const char* name : {"set-1.xml", "set-2.xml", "set-3.xml"})
        for (const std::string& field : {std::string(name)}) {
            legacy += field + '\0';
            const std::vector<std::string> id = IdentityOf(dir.File(name));
            for (const std::string& part : {id[0], id[1], id[2], id[3], id[4]}) legacy += part + '\0';
        }
    legacy += "E";
    legacy += '\0';
    unlink(StateFile(dir.Path(), "set.xml", ".record").c_str());
    WriteFileBytes(dir.File(".set.xml.record"), legacy);
    ASSERT_EQ(WriteSet(dir, {{"set-1.xml", "one"}}), "");
    EXPECT_EQ(Contents(dir), (Files{{"set-1.xml", "one"}}));
}

// Names up to NAME_MAX: the temporary files of a long one fit, and nothing is left beside it.
TEST(OutputSet, AnOutputNameOfNameMaxLeavesOnlyItsMembers) {
    std::string stem;
    for (int i = 0; i < 82; ++i) stem += "地";
    for (const int members : {1, 3}) {
        TempDir dir;
        OutputSet set(CString(dir.File(stem + ".xml")));
        for (int k = 1; k <= members; ++k) {
            const std::string name = members == 1 ? stem + ".xml" : stem + "-" + std::to_string(k) + ".xml";
            CSaveFile& file = set.Add(CString(dir.File(name)));
            file.Write("x", 1);
            set.Finish(file);
        }
        EXPECT_NO_THROW(set.Commit());
        EXPECT_EQ(dir.List().size(), static_cast<std::size_t>(members));
        EXPECT_TRUE(FileExists(StateFile(dir.Path(), stem + ".xml", ".record")));
    }
}

// Shared folders: a member is always a new file of this run, with the user's umask, renamed over
// its name. Another user's file under a member's name in a sticky folder refuses the run before
// anything changes, naming it; a link, a hard link or a FIFO is never written through.
TEST(OutputSet, OtherUsersFilesAreNeverWrittenThrough) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can plant another user's file";
    enum Plant {
        hardLink,
        worldWritable,
        fifo,
        symbolicLink
    };
    struct Row {
        const char* what;
        Plant plant;
        bool otherUser;
        mode_t folderMode;
        bool refused;
    };
    const Row rows[] = {
        {"another user's hard link, sticky", hardLink, true, 01777, true},
        {"another user's 0666 file, sticky", worldWritable, true, 01777, true},
        {"another user's FIFO, sticky", fifo, true, 01777, true},
        {"another user's link, sticky", symbolicLink, true, 01777, true},
        {"a hard link, not sticky", hardLink, true, 0777, false},
        {"another user's 0666 file, not sticky", worldWritable, true, 0777, false},
        {"a FIFO, not sticky", fifo, false, 0777, false},
        {"the user's own link, sticky", symbolicLink, false, 01777, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        TempDir elsewhere;
        ASSERT_EQ(chmod(dir.Path().c_str(), row.folderMode), 0);
        const std::string victim = elsewhere.File("victim.xml");
        const std::string member = dir.File("set-2.xml");
        WriteFileBytes(victim, "the victim's");
        switch (row.plant) {
        case hardLink: ASSERT_EQ(link(victim.c_str(), member.c_str()), 0); break;
        case worldWritable:
            WriteFileBytes(member, "planted");
            ASSERT_EQ(chmod(member.c_str(), 0666), 0);
            break;
        case fifo: ASSERT_EQ(mkfifo(member.c_str(), 0666), 0); break;
        case symbolicLink: ASSERT_EQ(symlink(victim.c_str(), member.c_str()), 0); break;
        }
        if (row.otherUser) {
            ASSERT_EQ(lchown(member.c_str(), 65534, 65534), 0);
        }
        struct stat before {};
        ASSERT_EQ(lstat(member.c_str(), &before), 0);
        const mode_t saved = umask(022);
        auto set = std::make_unique<OutputSet>(CString(dir.File("set.xml")));
        const std::string failure = Failure([&] {
            for (const char* name : {"set-1.xml", "set-2.xml"}) {
                CSaveFile& file = set->Add(CString(dir.File(name)));
                file.Write("glorie", 6);
                set->Finish(file);
            }
            set->Commit();
        });
        umask(saved);
        EXPECT_EQ(failure, row.refused ? std::to_string(CFileException::accessDenied) + " " + member : "");
        EXPECT_EQ(set->GetFailure(), row.refused ? member + " は共有フォルダーにある他のユーザーのファイルなので、置き換えません" : "");
        set.reset();
        EXPECT_EQ(ReadFileBytes(victim), "the victim's");
        struct stat after {};
        ASSERT_EQ(lstat(member.c_str(), &after), 0);
        if (row.refused) {
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_FALSE(FileExists(dir.File("set-1.xml")));
        } else {
            EXPECT_TRUE(S_ISREG(after.st_mode));
            EXPECT_EQ(after.st_mode & 0777, 0644u);
            EXPECT_EQ(after.st_uid, 0u);
            EXPECT_EQ(ReadFileBytes(member), "glorie");
        }
        EXPECT_EQ(dir.List().size(), row.refused ? 1u : 2u);
    }
}

// A single document the user chose: replaced whole or not at all, with no lock, record or journal
// beside it and no file of the set's member names touched; the folder is never listed.
TEST(OutputSet, ADocumentIsReplacedWholeOrNotAtAllWithNothingBesideIt) {
    struct Row {
        Call call;
        int nth;
        int err;
        std::string failure;  // cause, errno, file; empty: committed
    };
    const Row rows[] = {
        {Call::ReadFolder, 1, EIO, ""},
        {Call::Open, 1, EACCES, "5 13 set.xml"},
        {Call::Open, 2, ENOSPC, "13 28 set.xml"},
        {Call::Write, 1, ENOSPC, "13 28 set.xml"},
        {Call::Fsync, 1, EIO, "10 5 set.xml"},
        {Call::Rename, 1, EIO, "10 5 set.xml"},
    };
    const Files earlier = With(kOldSet, {{"set.xml", "old document"}});
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(FailingPosixCalls::Name(row.call)) + std::to_string(row.nth));
        TempDir dir;
        Lay(dir, {{"set.xml", "old document"}});
        ASSERT_EQ(WriteSet(dir, kOldSet), "");
        std::string failure;
        {
            FailingPosixCalls calls;
            calls.Fail(row.call, row.nth, row.err);
            try {
                OutputSet document(CString(dir.File("set.xml")), OutputSet::Mode::document);
                CSaveFile& file = document.Add(CString(dir.File("set.xml")));
                file.Write("new document", 12);
                // One document: a second member would be a set without its record.
                EXPECT_THROW(document.Add(CString(dir.File("set-4.xml"))), CFileException);
                document.Commit();
            } catch (const CFileException& e) {
                failure = std::to_string(e.m_cause) + " " + std::to_string(e.m_lOsError) + " " + e.m_strFileName.Str();
            }
        }
        const std::string file = row.failure.substr(row.failure.rfind(' ') + 1);
        EXPECT_EQ(failure, row.failure.empty() ? "" : row.failure.substr(0, row.failure.rfind(' ') + 1) + dir.File(file));
        EXPECT_EQ(Contents(dir), row.failure.empty() ? With(kOldSet, {{"set.xml", "new document"}}) : earlier);
    }
    // Abandoned before its commit, the document leaves the old one and no temporary file.
    TempDir dir;
    Lay(dir, {{"set.xml", "old document"}});
    {
        OutputSet document(CString(dir.File("set.xml")), OutputSet::Mode::document);
        document.Add(CString(dir.File("set.xml"))).Write("new", 3);
    }
    EXPECT_EQ(Contents(dir), (Files{{"set.xml", "old document"}}));
}
