// The set writer in-process: member names, stale members, runs killed inside a commit, failures
// at chosen calls, the lock, and what killed runs left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
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
#include "support/SetFiles.h"
#include "support/TempDir.h"

namespace {
using Call = FailingPosixCalls::Call;
using Files = std::map<std::string, std::string>;

Files Contents(const TempDir& dir) {
    Files files;
    for (const std::string& name : dir.List())
        files[name] = std::filesystem::is_directory(dir.File(name)) ? "<folder>"
                      : name == ".set.xml.record"                   ? RecordNames(ReadFileBytes(dir.File(name)))
                                                                    : ReadFileBytes(dir.File(name));
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

// The files and the record a commit of members leaves.
Files Recorded(const Files& members) {
    std::string names = "record:";
    for (const auto& member : members) names += " " + member.first;
    return With(members, {{".set.xml.record", names}});
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
    }
}

// A run killed at each rename or removal of its commit: the next run that writes the set first
// completes that commit, whatever moment it stopped at.
TEST(OutputSet, ARunKilledInsideItsCommitIsCompletedByTheNextRun) {
    // The commit of kNewSet over kOldSet: renames 1 the journal, 2 and 3 the members; unlink 1 the
    // stale member. With set-2.xml hard-linked, the run dies after writing it in place, before
    // cutting the old text's tail.
    // renames 4 the record.
    const std::pair<Call, int> deaths[] = {{Call::Rename, 1}, {Call::Rename, 2}, {Call::Rename, 3}, {Call::Rename, 4}, {Call::Unlink, 1}, {Call::Ftruncate, 1}};
    for (const auto& death : deaths) {
        SCOPED_TRACE(FailingPosixCalls::Name(death.first) + std::to_string(death.second));
        TempDir dir;
        ASSERT_EQ(WriteSet(dir, With(kOldSet, {{"set-2.xml", "old 2 longer"}})), "");
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
            EXPECT_EQ(got, death.second == 1 && death.first == Call::Rename ? Recorded(With(kOldSet, {{"set-2.xml", "old 2 longer"}}))
                                                                            : Recorded(kNewSet));
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
    // Opens: 1 the folder, 2 the lock, 3 the journal, 4 the record, 5 and 7 the members' targets,
    // 6 and 8 their temporary files, 9 the new record, 10 the new journal.
    const Row rows[] = {
        {Call::Open, 1, EMFILE, "4 24 set.xml"},
        {Call::Open, 2, EMFILE, "4 24 set.xml"},
        {Call::Open, 8, ENOSPC, "13 28 set-2.xml"},
        {Call::Fsync, 2, EIO, "10 5 set-2.xml"},
        {Call::Open, 9, ENOSPC, "13 28 .set.xml.record"},
        {Call::Open, 10, ENOSPC, "13 28 .set.xml.journal"},
        {Call::Write, 3, ENOSPC, "13 28 .set.xml.journal"},
        {Call::Write, 4, ENOSPC, "13 28 .set.xml.record"},
        // The folder's one listing, for what killed runs left and for the stale members.
        {Call::ReadFolder, 1, EIO, "10 5 "},
        {Call::ReadFolder, 1, EACCES, "5 13 "},
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
        EXPECT_EQ(failure, row.failure.substr(0, row.failure.rfind(' ') + 1) + dir.File(row.failure.substr(row.failure.rfind(' ') + 1)))
            << FailingPosixCalls::Name(row.call) << row.nth;
        EXPECT_EQ(Contents(dir), Recorded(kOldSet)) << FailingPosixCalls::Name(row.call) << row.nth;
    }
}

// A member with other names is written over in place: every name shows the new text, and a disk
// without room for it fails the commit before any member changes.
TEST(OutputSet, MembersWithOtherNamesAreWrittenInPlaceAfterTheirRoomIsReserved) {
    for (const int err : {0, ENOSPC}) {
        TempDir dir;
        ASSERT_EQ(WriteSet(dir, kOldSet), "");
        ASSERT_EQ(link(dir.File("set-2.xml").c_str(), dir.File("elsewhere").c_str()), 0);
        std::string failure;
        {
            FailingPosixCalls calls;
            if (err) calls.Fail(Call::Fallocate, 1, err);
            failure = WriteSet(dir, kNewSet);
        }
        if (err) {
            EXPECT_EQ(failure, "13 28 " + dir.File("set-2.xml"));
            EXPECT_EQ(Contents(dir), With(Recorded(kOldSet), {{"elsewhere", "old 2"}}));
        } else {
            EXPECT_EQ(failure, "");
            EXPECT_EQ(Contents(dir), With(Recorded(kNewSet), {{"elsewhere", "new 2"}}));
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
    const Files kept = {{".set-2.xml." + live + "-0.tmp", "l"}, {".other.xml." + dead + "-0.tmp", "o"}, {".set-2.xml." + dead + ".tmp", "n"}, {"set-1.xml", "old"}};
    Lay(dir, With(kept, {{".set-1.xml." + dead + "-3.tmp", "a"}, {".set.xml." + dead + "-0.tmp", "b"}, {"..set.xml.journal." + dead + "-1.tmp", "c"}}));
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

namespace {
// A journal of the current format with the given steps (kind, from, to), as a killed run leaves it.
std::string Journal(const std::vector<std::vector<std::string>>& steps, const char* magic = "quorvel set journal 2") {
    std::string bytes = std::string(magic) + '\0';
    for (const auto& step : steps) {
        for (const std::string& field : step) bytes += field + '\0';
        for (std::size_t i = step.size(); i < 5; ++i) bytes += (i < 3 ? "" : "0") + std::string(1, '\0');
    }
    return bytes + "E" + '\0';
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

// A journal that names anything but bare names of the set's folder, or is no regular file of the
// running user, is set aside unobeyed and said once; the files it names stay as they were.
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
        {"a removal outside the folder", write([](const std::string&) { return Journal({{"D", "../victim"}}); }), false},
        {"an absolute rename", write([](const std::string& folder) { return Journal({{"R", folder + "/victim", "set.xml"}}); }), false},
        {"an older run's journal of full paths",
         write([](const std::string& folder) { return Journal({{"D", folder + "/victim"}}, "quorvel set journal 1"); }), false},
        {"a FIFO", [](const std::string&, const std::string& journal) { ASSERT_EQ(mkfifo(journal.c_str(), 0600), 0); }, false},
        {"a link to /dev/zero", [](const std::string&, const std::string& journal) { ASSERT_EQ(symlink("/dev/zero", journal.c_str()), 0); }, false},
        {"a dangling link",
         [](const std::string& folder, const std::string& journal) { ASSERT_EQ(symlink((folder + "/made").c_str(), journal.c_str()), 0); },
         false},
        {"a journal larger than any set's",
         [](const std::string&, const std::string& journal) {
             WriteFileBytes(journal, Journal({{"D", "victim"}}));
             ASSERT_EQ(truncate(journal.c_str(), 50 << 20), 0);
         },
         false},
        {"another user's journal",
         [](const std::string&, const std::string& journal) {
             WriteFileBytes(journal, Journal({{"D", "victim"}}));
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
        const std::string journal = folder + "/.set.xml.journal";
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
    }
}

// A journal of ours that cannot be completed stops the run, naming the journal and what to do.
TEST(OutputSet, AJournalThatCannotBeCompletedIsNamedWithWhatToDo) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("set-5.xml").c_str(), 0755), 0);
    WriteFileBytes(dir.File(".set.xml.journal"), Journal({{"D", "set-5.xml"}}));
    OutputSet set(CString(dir.File("set.xml")));
    EXPECT_EQ(Failure([&] { set.Add(CString(dir.File("set.xml"))); }),
              std::to_string(CFileException::accessDenied) + " " + dir.File("set-5.xml"));
    EXPECT_EQ(set.GetAdvice(), "中断された書き込みのジャーナル " + dir.File(".set.xml.journal") +
                                   " を完了できません。中身を確かめて、不要なら削除してから、もう一度変換してください");
}

// The lock: no link, no FIFO, readable by every user whatever the umask; one that cannot be
// opened fails the run, naming it, and creates nothing.
TEST(OutputSet, TheLockIsARegularFileEveryUserCanOpen) {
    struct Row {
        const char* what;
        int kind;  // 0 none, 1 dangling link, 2 FIFO
        std::string advice;
    };
    const Row rows[] = {
        {"made under umask 077", 0, ""},
        {"a dangling link", 1, "はリンクです。取り除いてから、もう一度変換してください"},
        {"a FIFO", 2, "は通常のファイルではありません。取り除いてから、もう一度変換してください"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        const std::string lock = dir.File(".set.xml.lock");
        if (row.kind == 1) {
            ASSERT_EQ(symlink(dir.File("target").c_str(), lock.c_str()), 0);
        }
        if (row.kind == 2) {
            ASSERT_EQ(mkfifo(lock.c_str(), 0644), 0);
        }
        const mode_t saved = umask(077);
        OutputSet set(CString(dir.File("set.xml")));
        const std::string failure = Failure([&] { set.Add(CString(dir.File("set.xml"))); });
        umask(saved);
        struct stat st {};
        if (row.advice.empty()) {
            EXPECT_EQ(failure, "");
            ASSERT_EQ(stat(lock.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0444, 0444u);
        } else {
            EXPECT_NE(failure, "");
            EXPECT_EQ(set.GetAdvice(), "ロック ファイル " + lock + " " + row.advice);
            EXPECT_FALSE(FileExists(dir.File("target")));
        }
    }
}

// Every step a commit needs is possible before the first member changes: a folder where neither
// the record nor the journal can be made keeps the old set whole, the hard-linked members too.
TEST(OutputSet, ACommitThatCannotBeJournaledChangesNothing) {
    TempDir dir;
    ASSERT_EQ(WriteSet(dir, kOldSet), "");
    ASSERT_EQ(link(dir.File("set-1.xml").c_str(), dir.File("a").c_str()), 0);
    ASSERT_EQ(link(dir.File("set-2.xml").c_str(), dir.File("b").c_str()), 0);
    std::string failure;
    {
        FailingPosixCalls calls;
        calls.FailOpenOf(".tmp", EACCES);  // the folder takes no new file
        failure = WriteSet(dir, kNewSet);
    }
    EXPECT_EQ(failure, std::to_string(CFileException::accessDenied) + " 13 " + dir.File(".set.xml.record"));
    EXPECT_EQ(Contents(dir), With(Recorded(kOldSet), {{"a", "old 1"}, {"b", "old 2"}}));
}

// Names up to NAME_MAX: the hidden names of a long one are cut and told apart by a hash.
TEST(OutputSet, AnOutputNameOfNameMaxHasItsLockJournalAndRecord) {
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
        std::vector<std::string> hidden;
        for (const std::string& name : dir.List())
            if (name[0] == '.') hidden.push_back(name);
        ASSERT_EQ(hidden.size(), 1u);
        EXPECT_LE(hidden[0].size(), 255u);
        EXPECT_EQ(hidden[0].substr(hidden[0].size() - 7), ".record");
        EXPECT_EQ(dir.List().size(), static_cast<std::size_t>(members) + 1);
    }
}

// A link in a sticky folder that belongs to neither the folder's owner nor the runner is not
// followed; a member linked elsewhere otherwise is written through its link, which stays.
TEST(OutputSet, LinksOfOtherUsersInStickyFoldersAreNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can make another user's link";
    struct Row {
        mode_t folderMode;
        bool otherOwner;
        bool refused;
    };
    const Row rows[] = {{01777, true, true}, {0777, true, false}, {01777, false, false}};
    for (const Row& row : rows) {
        TempDir dir;
        TempDir elsewhere;
        ASSERT_EQ(chmod(dir.Path().c_str(), row.folderMode), 0);
        WriteFileBytes(elsewhere.File("victim.xml"), "the victim's");
        ASSERT_EQ(symlink(elsewhere.File("victim.xml").c_str(), dir.File("set-2.xml").c_str()), 0);
        if (row.otherOwner) {
            ASSERT_EQ(lchown(dir.File("set-2.xml").c_str(), 65534, 65534), 0);
        }
        OutputSet set(CString(dir.File("set.xml")));
        std::string failure = Failure([&] {
            for (const char* name : {"set-1.xml", "set-2.xml"}) {
                CSaveFile& file = set.Add(CString(dir.File(name)));
                file.Write("glorie", 6);
                set.Finish(file);
            }
            set.Commit();
        });
        EXPECT_EQ(failure, row.refused ? std::to_string(CFileException::accessDenied) + " " + dir.File("set-2.xml") : "");
        EXPECT_EQ(ReadFileBytes(elsewhere.File("victim.xml")), row.refused ? "the victim's" : "glorie");
        struct stat st {};
        EXPECT_EQ(lstat(dir.File("set-2.xml").c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
    }
}

// A member linked into another folder is staged beside the file it links to; what a run that is
// gone left there is removed by the next run, as beside the set.
TEST(OutputSet, TemporaryFilesBesideALinkedMembersTargetAreRemoved) {
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    TempDir dir;
    TempDir elsewhere;
    WriteFileBytes(elsewhere.File("target.xml"), "old");
    ASSERT_EQ(symlink(elsewhere.File("target.xml").c_str(), dir.File("set-1.xml").c_str()), 0);
    const std::string left = ".target.xml." + std::to_string(gone) + "-0.tmp";
    WriteFileBytes(elsewhere.File(left), "left by a killed run");
    WriteFileBytes(elsewhere.File(".other.xml." + std::to_string(gone) + "-0.tmp"), "not the set's");
    ASSERT_EQ(WriteSet(dir, {{"set-1.xml", "new 1"}, {"set-2.xml", "new 2"}}), "");
    EXPECT_EQ(ReadFileBytes(elsewhere.File("target.xml")), "new 1");
    EXPECT_EQ(elsewhere.List(), (std::vector<std::string>{".other.xml." + std::to_string(gone) + "-0.tmp", "target.xml"}));
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
    const Files earlier = With(Recorded(kOldSet), {{"set.xml", "old document"}});
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
        EXPECT_EQ(Contents(dir), row.failure.empty() ? With(Recorded(kOldSet), {{"set.xml", "new document"}}) : earlier);
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
