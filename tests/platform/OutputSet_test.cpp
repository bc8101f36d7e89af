// The set writer in-process: member names, stale members, runs killed inside a commit, failures
// at chosen calls, the lock, and what killed runs left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/HostSystem.h"
#include "platform/OutputSet.h"
#include "support/ChildProcess.h"
#include "support/FailingPosixCalls.h"
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

// Writes the members (name -> text) as one set named set.xml; "" when committed, else the failure.
std::string WriteSet(const TempDir& dir, const Files& members) {
    try {
        OutputSet set(CString(dir.File("set.xml")));
        for (const auto& member : members) {
            CFile& file = set.Add(CString(dir.File(member.first)));
            file.Write(member.second.data(), static_cast<unsigned>(member.second.size()));
            set.Finish(file);
        }
        set.Commit();
    } catch (const CFileException& e) {
        return std::to_string(e.m_cause) + " " + std::to_string(e.m_lOsError) + " " + e.m_strFileName.Str();
    }
    return "";
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
    int Ftruncate(int fd, off_t length) override {
        Die(Call::Ftruncate);
        return FailingPosixCalls::Ftruncate(fd, length);
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
}  // namespace

TEST(OutputSet, OnlyTheSetsOwnNamesAreMembers) {
    struct Row {
        const char* set;
        const char* name;
        bool member;
    };
    const Row rows[] = {
        {"p.xml", "p.xml", true},     {"p.xml", "p-1.xml", true},    {"p.xml", "p-0123.xml", true},
        {"p.xml", "p-.xml", false},   {"p.xml", "p-1a.xml", false},  {"p.xml", "p-1.xml.bak", false},
        {"p.xml", "P-1.xml", false},  {"p.xml", "p-1.XML", false},   {"p.xml", "p1.xml", false},
        {"p.xml", ".p-1.xml", false}, {"p.tar.xml", "p.tar-2.xml", true}, {"p", "p-7", true},
        {"p", "p-7.xml", false},      {"p.xml", "p.xml.1234-0.tmp", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(OutputSet::IsMemberName(row.set, row.name), row.member) << row.set << " " << row.name;
}

TEST(OutputSet, CommitReplacesMembersAndRemovesStaleOnesOnly) {
    struct Row {
        Files before;
        Files members;
        std::vector<std::string> removed;
    };
    const Row rows[] = {
        {kOldSet, kNewSet, {"set-3.xml"}},
        {With(kOldSet, {{"set.xml", "x"}}), {{"set.xml", "one"}}, {"set-1.xml", "set-2.xml", "set-3.xml"}},
        {{{"set.xml", "x"}}, kNewSet, {"set.xml"}},
        {{}, kNewSet, {}},
    };
    for (const Row& row : rows) {
        TempDir dir;
        Lay(dir, With(row.before, kForeign));
        ASSERT_EQ(mkdir(dir.File("set-9.xml").c_str(), 0755), 0);  // a folder is never removed
        OutputSet set(CString(dir.File("set.xml")));
        for (const auto& member : row.members) {
            CFile& file = set.Add(CString(dir.File(member.first)));
            file.Write(member.second.data(), static_cast<unsigned>(member.second.size()));
            set.Finish(file);
        }
        set.Commit();
        EXPECT_EQ(Contents(dir), With(With(row.members, kForeign), {{"set-9.xml", "<folder>"}}));
        std::vector<std::string> removed;
        for (const CString& path : set.GetRemoved()) removed.push_back(path.Str().substr(dir.Path().size() + 1));
        EXPECT_EQ(removed, row.removed);
    }
}

// A run killed at each rename or removal of its commit: the next run that writes the set first
// completes that commit, whatever moment it stopped at.
TEST(OutputSet, ARunKilledInsideItsCommitIsCompletedByTheNextRun) {
    // The commit of kNewSet over kOldSet: renames 1 the journal, 2 and 3 the members; unlink 1 the
    // stale member. With set-2.xml hard-linked, the run dies after writing it in place, before
    // cutting the old text's tail.
    const std::pair<Call, int> deaths[] = {{Call::Rename, 1}, {Call::Rename, 2}, {Call::Rename, 3}, {Call::Unlink, 1}, {Call::Ftruncate, 1}};
    for (const auto& death : deaths) {
        SCOPED_TRACE(FailingPosixCalls::Name(death.first) + std::to_string(death.second));
        TempDir dir;
        Lay(dir, With(kOldSet, {{"set-2.xml", "old 2 longer"}}));
        if (death.first == Call::Ftruncate) {
            ASSERT_EQ(link(dir.File("set-2.xml").c_str(), dir.File("o").c_str()), 0);
        }
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
            got.erase(".set.xml.lock");
            for (auto it = got.begin(); it != got.end();)
                it = it->first.find(".tmp") != std::string::npos ? got.erase(it) : std::next(it);
            got.erase("o");
            // Killed before its journal was in place, the run changed nothing.
            EXPECT_EQ(got, death.second == 1 && death.first == Call::Rename ? With(kOldSet, {{"set-2.xml", "old 2 longer"}}) : kNewSet);
        }
        if (death.first == Call::Ftruncate) {
            EXPECT_EQ(ReadFileBytes(dir.File("o")), "new 2");
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
    // Opens: 1 the lock, 2 and 4 the members' targets, 3 and 5 their temporary files, 6 and 7 the journal.
    const Row rows[] = {
        {Call::Open, 1, EMFILE, "4 24 set.xml"},
        {Call::Open, 5, ENOSPC, "13 28 set-2.xml"},
        {Call::Fsync, 2, EIO, "10 5 set-2.xml"},
        {Call::Open, 7, ENOSPC, "13 28 .set.xml.journal"},
        {Call::Write, 3, ENOSPC, "13 28 .set.xml.journal"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        Lay(dir, kOldSet);
        std::string failure;
        {
            FailingPosixCalls calls;
            calls.Fail(row.call, row.nth, row.err);
            failure = WriteSet(dir, kNewSet);
        }
        EXPECT_EQ(failure, row.failure.substr(0, row.failure.rfind(' ') + 1) + dir.File(row.failure.substr(row.failure.rfind(' ') + 1)))
            << FailingPosixCalls::Name(row.call) << row.nth;
        EXPECT_EQ(Contents(dir), kOldSet) << FailingPosixCalls::Name(row.call) << row.nth;
    }
}

// A member with other names is written over in place: every name shows the new text, and a disk
// without room for it fails the commit before any member changes.
TEST(OutputSet, MembersWithOtherNamesAreWrittenInPlaceAfterTheirRoomIsReserved) {
    for (const int err : {0, ENOSPC}) {
        TempDir dir;
        Lay(dir, kOldSet);
        ASSERT_EQ(link(dir.File("set-2.xml").c_str(), dir.File("elsewhere").c_str()), 0);
        std::string failure;
        {
            FailingPosixCalls calls;
            if (err) calls.Fail(Call::Fallocate, 1, err);
            failure = WriteSet(dir, kNewSet);
        }
        if (err) {
            EXPECT_EQ(failure, "13 28 " + dir.File("set-2.xml"));
            EXPECT_EQ(Contents(dir), With(kOldSet, {{"elsewhere", "old 2"}}));
        } else {
            EXPECT_EQ(failure, "");
            EXPECT_EQ(Contents(dir), With(kNewSet, {{"elsewhere", "new 2"}}));
        }
    }
}

TEST(OutputSet, ASetHeldByAnotherRunIsRefusedAndLeftAlone) {
    TempDir dir;
    Lay(dir, With(kOldSet, {{".set.xml.lock", ""}}));
    LockHolder holder(dir.File(".set.xml.lock"));
    ASSERT_TRUE(holder.Holding());
    OutputSet set(CString(dir.File("set.xml")));
    try {
        set.Add(CString(dir.File("set-1.xml")));
        ADD_FAILURE() << "the set was not refused";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
        EXPECT_EQ(e.m_strFileName.Str(), dir.File("set.xml"));
    }
    EXPECT_TRUE(set.Busy());
    EXPECT_EQ(Contents(dir), With(kOldSet, {{".set.xml.lock", ""}}));
}

// Temporary files of the set's names whose run is gone are removed; a live run's, and other
// names', are not.
TEST(OutputSet, TemporaryFilesOfRunsThatAreGoneAreRemoved) {
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    const std::string dead = std::to_string(gone);
    const std::string live = std::to_string(getppid());
    TempDir dir;
    const Files kept = {{".set-2.xml." + live + "-0.tmp", "l"}, {".other.xml." + dead + "-0.tmp", "o"},
                        {".set-2.xml." + dead + ".tmp", "n"}, {"set-1.xml", "old"}};
    Lay(dir, With(kept, {{".set-1.xml." + dead + "-3.tmp", "a"}, {".set.xml." + dead + "-0.tmp", "b"},
                         {"..set.xml.journal." + dead + "-1.tmp", "c"}}));
    OutputSet set(CString(dir.File("set.xml")));
    set.Add(CString(dir.File("set-1.xml")));
    Files got = Contents(dir);
    for (auto it = got.begin(); it != got.end();)
        it = it->first.find(std::to_string(getpid())) != std::string::npos ? got.erase(it) : std::next(it);
    got.erase(".set.xml.lock");
    EXPECT_EQ(got, kept);
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
