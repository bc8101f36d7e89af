// Sets of outputs written by the built quorvel-cli with the real OS: stale members, signals at
// random moments, concurrent runs, a descriptor limit, a full disk under a hard-linked member.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "support/ChildProcess.h"
#include "support/SetFiles.h"
#include "support/TempDir.h"

namespace {
using Files = std::map<std::string, std::string>;
const std::string kCli = QUORVEL_CLI_PATH;

// count waypoints in west Tokyo, where the grid has data, named with tag.
std::string Gpx(int count, const std::string& tag) {
    std::string gpx =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"test\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    char line[160];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "<wpt lat=\"%.5f\" lon=\"%.5f\"><name>%s%d</name></wpt>\n", 35.6 + i % 1000 * 1e-4,
                      139.5 + i / 1000 * 1e-3, tag.c_str(), i + 1);
        gpx += line;
    }
    return gpx + "</gpx>\n";
}

bool IsRecord(const std::string& name) {
    return name[0] == '.' && name.size() > 7 && name.compare(name.size() - 7, 7, ".record") == 0;
}

Files Contents(const TempDir& dir, const std::string& except = "") {
    Files files;
    for (const std::string& name : dir.List())
        if (name != except) files[name] = IsRecord(name) ? RecordNames(ReadFileBytes(dir.File(name))) : ReadFileBytes(dir.File(name));
    return files;
}

std::vector<std::string> Convert(const TempDir& dir, const std::string& input, const std::string& output,
                                 const std::string& to = "glorie") {
    return {dir.File(input), "--to", to, "-o", dir.File(output), "--reading", "none"};
}

// Starts quorvel-cli with args, its error stream into errPath; the process id.
pid_t Start(const std::vector<std::string>& args, const std::string& errPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = open("/dev/null", O_WRONLY);
        if (err < 0 || null < 0 || dup2(err, 2) < 0 || dup2(null, 1) < 0) _exit(127);
        std::vector<char*> argv{const_cast<char*>(kCli.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(kCli.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1000;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::string LostRace(const TempDir& dir, const std::string& set) {
    return dir.File(set) + " は別の変換が書き込み中です。\n";
}
}  // namespace

// Each write replaces the members and removes those of the earlier set that it lacks; other
// names stay.
TEST(OutputSets, EachWriteLeavesOnlyItsOwnMembers) {
    struct Row {
        int points;
        const char* to;
        std::vector<std::string> members;
    };
    const Row rows[] = {
        {1401, "glorie", {"out-1.xml", "out-2.xml", "out-3.xml"}},
        {701, "glorie", {"out-1.xml", "out-2.xml"}},
        {5, "glorie", {"out.xml"}},
        {701, "glorie", {"out-1.xml", "out-2.xml"}},
        {201, "mem", {"out-1.mem", "out-2.mem", "out-3.mem"}},
        {100, "mem", {"out.mem"}},
    };
    TempDir dir;
    const std::vector<std::string> others = {"out-1.xml.bak", "out-x.xml", "out.gpx"};
    for (const std::string& other : others) WriteFileBytes(dir.File(other), "keep");
    std::map<std::string, std::vector<std::string>> current;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.points) + row.to);
        WriteFileBytes(dir.File("in.gpx"), Gpx(row.points, "P"));
        const std::string ext = std::string(row.to) == "mem" ? "mem" : "xml";
        const ChildResult run = RunChild(kCli, Convert(dir, "in.gpx", "out." + ext, row.to));
        EXPECT_EQ(run.status, 0) << run.err;
        // The old members the new set lacks are removed, and said so.
        std::string removed;
        for (const std::string& member : current[ext])
            if (std::find(row.members.begin(), row.members.end(), member) == row.members.end())
                removed += dir.File(member) + " は新しい出力にないので削除しました\n";
        EXPECT_EQ(run.out.substr(run.out.size() - removed.size()), removed);
        // The set of the other extension is another set: it stays.
        current[ext] = row.members;
        std::vector<std::string> expected = others;
        for (const auto& set : current) expected.insert(expected.end(), set.second.begin(), set.second.end());
        expected.push_back("in.gpx");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(dir.List(), expected);
    }
}

// A signal at any moment of a run leaves the whole old set or the whole new one, and nothing else.
TEST(OutputSets, SignalsLeaveTheOldSetOrTheNewOneWhole) {
    TempDir reference;
    WriteFileBytes(reference.File("new.gpx"), Gpx(2500, "B"));
    ASSERT_EQ(RunChild(kCli, Convert(reference, "new.gpx", "out.mem", "mem")).status, 0);
    const Files fresh = Contents(reference, "new.gpx");
    ASSERT_EQ(fresh.size(), 25u);
    TempDir dir;
    WriteFileBytes(dir.File("old.gpx"), Gpx(3000, "A"));
    WriteFileBytes(dir.File("new.gpx"), Gpx(2500, "B"));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(RunChild(kCli, Convert(dir, "old.gpx", "out.mem", "mem")).status, 0);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    Files old = Contents(dir);
    old.erase("new.gpx");
    old.erase("old.gpx");
    ASSERT_EQ(old.size(), 30u);

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<long> moment(0, span.count());
    int interrupted = 0;
    // More rounds while none was interrupted: a busy machine can make every run end before its signal.
    for (int round = 0; round < 9 || (interrupted == 0 && round < 60); ++round) {
        const int signals[] = {SIGINT, SIGTERM, SIGHUP};
        const int sig = signals[round % 3];
        const pid_t pid = Start(Convert(dir, "new.gpx", "out.mem", "mem"), reference.File("err"));
        usleep(static_cast<useconds_t>(moment(random)));
        kill(pid, sig);
        const int status = Wait(pid);
        EXPECT_TRUE(status == 0 || status == -sig) << status;
        interrupted += status == -sig;
        Files got = Contents(dir);
        got.erase("new.gpx");
        got.erase("old.gpx");
        EXPECT_TRUE(got == old || got == fresh) << "round " << round << ": " << got.size() << " files";
        if (got == fresh) {
            ASSERT_EQ(RunChild(kCli, Convert(dir, "old.gpx", "out.mem", "mem")).status, 0);
        }
    }
    EXPECT_GT(interrupted, 0);
}

// Runs writing one set at once: one run's set stays, complete; every other run fails and says why.
TEST(OutputSets, ConcurrentRunsLeaveOneRunsSetAndTheOthersFail) {
    TempDir dir;
    constexpr int kRuns = 4;
    std::vector<pid_t> runs;
    for (int r = 0; r < kRuns; ++r) WriteFileBytes(dir.File("in" + std::to_string(r) + ".gpx"), Gpx(3001 + r, "R" + std::to_string(r) + "_"));
    TempDir logs;
    for (int r = 0; r < kRuns; ++r)
        runs.push_back(Start(Convert(dir, "in" + std::to_string(r) + ".gpx", "out.mem", "mem"), logs.File(std::to_string(r))));
    std::vector<int> winners;
    for (int r = 0; r < kRuns; ++r) {
        const int status = Wait(runs[r]);
        if (status == 0) {
            winners.push_back(r);
        } else {
            EXPECT_EQ(status, 1);
            EXPECT_EQ(ReadFileBytes(logs.File(std::to_string(r))), LostRace(dir, "out.mem"));
        }
    }
    ASSERT_FALSE(winners.empty());
    // The members are those of one run: 31 files, each with that run's names only.
    std::vector<std::string> members;
    for (const std::string& name : dir.List())
        if (name.rfind("in", 0) != 0 && name[0] != '.') members.push_back(name);
    ASSERT_EQ(members.size(), 31u);
    EXPECT_EQ(dir.List().size(), 31u + kRuns);  // and nothing else
    const std::string last = ReadFileBytes(dir.File("out-31.mem"));
    int owner = -1;
    for (int r : winners)
        if (last.find("R" + std::to_string(r) + "_") != std::string::npos) owner = r;
    ASSERT_GE(owner, 0);
    for (const std::string& name : members)
        EXPECT_NE(ReadFileBytes(dir.File(name)).find("R" + std::to_string(owner) + "_"), std::string::npos) << name;

    // A set that another run holds is refused at once and left as it was.
    WriteFileBytes(StateFile(dir.Path(), "out.mem", ".lock"), "");
    const Files before = Contents(dir);
    LockHolder holder(StateFile(dir.Path(), "out.mem", ".lock"));
    ASSERT_TRUE(holder.Holding());
    const ChildResult lost = RunChild(kCli, Convert(dir, "in0.gpx", "out.mem", "mem"));
    EXPECT_EQ(lost.status, 1);
    EXPECT_EQ(lost.err, LostRace(dir, "out.mem"));
    EXPECT_EQ(Contents(dir), before);
}

// One descriptor per member is no longer held: 200 members under a limit of 64.
TEST(OutputSets, ASetLargerThanTheDescriptorLimitIsWritten) {
    TempDir dir;
    WriteFileBytes(dir.File("in.gpx"), Gpx(20000, "P"));
    std::vector<std::string> args = {"-c", "ulimit -n 64 && exec \"$0\" \"$@\"", kCli};
    for (const std::string& arg : Convert(dir, "in.gpx", "out.mem", "mem")) args.push_back(arg);
    const ChildResult run = RunChild("/bin/sh", args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(dir.List().size(), 201u);  // the members and the input
    EXPECT_TRUE(FileExists(dir.File("out-200.mem")));
}

// A hard-linked member is replaced under its name, its other name keeping the old text; on a disk
// without room for it, the run fails before any member changes, and succeeds once there is room.
TEST(OutputSets, AFullDiskUnderAHardLinkedMemberLeavesTheOldSet) {
    TempDir dir;
    if (mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a small tmpfs cannot be mounted here (" << std::strerror(errno) << ")";
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir.Path()};
    WriteFileBytes(dir.File("in.gpx"), Gpx(701, "P"));
    WriteFileBytes(dir.File("out-1.xml"), "old 1");
    WriteFileBytes(dir.File("out-2.xml"), "old 2");
    WriteFileBytes(dir.File("out-3.xml"), "old 3");
    ASSERT_EQ(link(dir.File("out-1.xml").c_str(), dir.File("copy.xml").c_str()), 0);
    // Filled up, then 24 KiB given back: room for the small member, not for the first one.
    const int filler = open(dir.File("filler").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::string block(4096, 'f');
    off_t size = 0;
    while (write(filler, block.data(), block.size()) == static_cast<ssize_t>(block.size())) size += 4096;
    ASSERT_EQ(ftruncate(filler, size - 24 * 1024), 0);
    close(filler);
    const Files before = Contents(dir);
    const ChildResult full = RunChild(kCli, Convert(dir, "in.gpx", "out.xml"));
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, dir.File("out-1.xml") + " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。\n");
    EXPECT_EQ(Contents(dir), before);

    ASSERT_EQ(unlink(dir.File("filler").c_str()), 0);
    const ChildResult room = RunChild(kCli, Convert(dir, "in.gpx", "out.xml"));
    EXPECT_EQ(room.status, 0) << room.err;
    // out-3.xml was never written by a commit of this set: it stays, and is said.
    EXPECT_EQ(room.err, "警告: " + dir.File("out-3.xml") +
                            " は前回の出力の記録にないので削除しませんでした\n"
                            "合計: 警告 1 件、変換できなかった地点 0 件\n");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"copy.xml", "in.gpx", "out-1.xml", "out-2.xml", "out-3.xml"}));
    EXPECT_GT(ReadFileBytes(dir.File("out-1.xml")).size(), 24u * 1024);
    EXPECT_EQ(ReadFileBytes(dir.File("copy.xml")), "old 1");
}

namespace {
const std::string kSamples = QUORVEL_SAMPLES_DIR;

struct Planted {
    std::string name, bytes;
};
}  // namespace

// Only files that the set's own earlier commit wrote are removed: a user's document, a file
// another job of the run wrote, and the run's inputs stay, whatever their names.
TEST(OutputSets, NothingButTheSetsOwnFilesIsRemoved) {
    struct Row {
        const char* what;
        std::vector<Planted> before;    // files of the folder (inputs, the user's)
        std::vector<std::string> args;  // names relative to the folder
        std::vector<std::string> kept;  // must stay byte for byte
        std::string warned;             // the one warning, "" for none
    };
    const Row rows[] = {
        {"a user's document with the set's name", {{"tokyo.gpx", Gpx(3, "T")}, {"tokyo-2024.xml", "mine"}}, {"tokyo.gpx"}, {"tokyo-2024.xml"}, "tokyo-2024.xml"},
        {"another job's output", {{"trip.gpx", Gpx(2, "A")}, {"trip-2.gpx", Gpx(2, "B")}}, {"trip-2.gpx", "trip.gpx"}, {}, ""},
        {"the inputs of a merge", {{"day-1.gpx", Gpx(2, "C")}, {"day-2.gpx", Gpx(2, "D")}}, {"--merge", "day-1.gpx", "day-2.gpx", "-o", "day.gpx", "--to", "gpx"}, {"day-1.gpx", "day-2.gpx"}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        for (const Planted& file : row.before) WriteFileBytes(dir.File(file.name), file.bytes);
        std::vector<std::string> args;
        for (const std::string& arg : row.args) args.push_back(arg.find('.') == std::string::npos ? arg : dir.File(arg));
        args.insert(args.end(), {"--reading", "none"});
        const ChildResult run = RunChild(kCli, args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.find("削除しました"), std::string::npos) << run.out;
        EXPECT_EQ(run.err, row.warned.empty() ? ""
                                              : "警告: " + dir.File(row.warned) +
                                                    " は前回の出力の記録にないので削除しませんでした\n"
                                                    "合計: 警告 1 件、変換できなかった地点 0 件\n");
        for (const Planted& file : row.before) EXPECT_EQ(ReadFileBytes(dir.File(file.name)), file.bytes) << file.name;
        if (std::string(row.what) == "another job's output") {
            EXPECT_TRUE(FileExists(dir.File("trip-2.xml")));
        }
    }
}

// The memory-point road goes through the set: the earlier set's recorded members are removed,
// and a set another run holds is refused.
TEST(OutputSets, TheMemoryPointRoadWritesThroughTheSet) {
    TempDir dir;
    WriteFileBytes(dir.File("big.gpx"), Gpx(1401, "P"));
    WriteFileBytes(dir.File("trip.mem"), ReadFileBytes(kSamples + "/meisho.mem"));
    ASSERT_EQ(RunChild(kCli, Convert(dir, "big.gpx", "out.xml")).status, 0);
    const ChildResult run = RunChild(kCli, {dir.File("trip.mem"), "-o", dir.File("out.xml")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, dir.File("trip.mem") + " -> " + dir.File("out.xml") + " (12 地点)\n" + dir.File("out-1.xml") +
                           " は新しい出力にないので削除しました\n" + dir.File("out-2.xml") + " は新しい出力にないので削除しました\n" +
                           dir.File("out-3.xml") + " は新しい出力にないので削除しました\n");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"big.gpx", "out.xml", "trip.mem"}));
    EXPECT_EQ(ReadFileBytes(dir.File("out.xml")), ReadFileBytes(kSamples + "/meisho.xml"));

    WriteFileBytes(StateFile(dir.Path(), "out.xml", ".lock"), "");
    LockHolder holder(StateFile(dir.Path(), "out.xml", ".lock"));
    ASSERT_TRUE(holder.Holding());
    const ChildResult lost = RunChild(kCli, {dir.File("trip.mem"), "-o", dir.File("out.xml")});
    EXPECT_EQ(lost.status, 1);
    EXPECT_EQ(lost.err, LostRace(dir, "out.xml"));
}

// Inputs are read under a shared lock: another reader does not keep a run out; a writer does.
TEST(OutputSets, ReadersShareAnInput) {
    for (const char* input : {"in.gpx", "in.mem"}) {
        for (const int lock : {LOCK_SH, LOCK_EX}) {
            SCOPED_TRACE(std::string(input) + (lock == LOCK_SH ? " shared" : " exclusive"));
            TempDir dir;
            WriteFileBytes(dir.File("in.gpx"), Gpx(3, "R"));
            WriteFileBytes(dir.File("in.mem"), ReadFileBytes(kSamples + "/meisho.mem"));
            const int fd = open(dir.File(input).c_str(), O_RDONLY);
            ASSERT_EQ(flock(fd, lock | LOCK_NB), 0);
            const ChildResult run = RunChild(kCli, {dir.File(input), "-o", dir.File("out.xml"), "--reading", "none"});
            close(fd);
            EXPECT_EQ(run.status, lock == LOCK_SH ? 0 : 1) << run.err;
            EXPECT_EQ(FileExists(dir.File("out.xml")), lock == LOCK_SH);
        }
    }
}

// Two users, one shared (sticky) folder: a run never writes through, replaces or removes the
// other user's files; it is refused before anything changes, naming the file. A folder the user
// may not write to is said with the system's reason.
TEST(OutputSets, TwoUsersInASharedFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "two users need root";
    TempDir state;  // the second user's own state folder
    ASSERT_EQ(chown(state.Path().c_str(), 65534, 65534), 0);
    const auto as = [&](bool bOther, const std::vector<std::string>& args) {
        std::vector<std::string> all;
        if (bOther) all = {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env", "XDG_STATE_HOME=" + state.Path()};
        else all = {"--reuid=0", "--regid=0", "--keep-groups", "/usr/bin/env"};
        all.push_back(kCli);
        all.insert(all.end(), args.begin(), args.end());
        return RunChild("/usr/bin/setpriv", all);
    };
    // The folder's names, and the bytes of its regular files (a FIFO is not opened).
    const auto snapshot = [](const TempDir& dir) {
        Files files;
        for (const std::string& name : dir.List()) {
            struct stat st {};
            files[name] = lstat(dir.File(name).c_str(), &st) == 0 && S_ISREG(st.st_mode) ? ReadFileBytes(dir.File(name)) : "<other>";
        }
        return files;
    };
    enum Plant {
        none,
        rootSet,
        hardLink,
        worldWritable,
        fifo
    };
    struct Row {
        const char* what;
        Plant plant;          // made before the run (by root, or by the other user)
        bool bOther;          // the run is the other user's
        const char* refused;  // the member named, "" when the run converts
    };
    const Row rows[] = {
        {"the other user replaces root's set", rootSet, true, "out-1.xml"},
        {"root over the other user's hard link", hardLink, false, "out-1.xml"},
        {"root over the other user's 0666 file", worldWritable, false, "out-2.xml"},
        {"root over the other user's FIFO", fifo, false, "out-2.xml"},
        {"root alone", none, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        ASSERT_EQ(chmod(dir.Path().c_str(), 01777), 0);
        WriteFileBytes(dir.File("in.gpx"), Gpx(701, "U"));
        ASSERT_EQ(chmod(dir.File("in.gpx").c_str(), 0644), 0);
        const std::string victim = dir.File("victim.txt");
        WriteFileBytes(victim, "the other user's");
        ASSERT_EQ(chown(victim.c_str(), 65534, 65534), 0);
        if (row.plant == rootSet) {
            ASSERT_EQ(as(false, Convert(dir, "in.gpx", "out.xml")).status, 0);
        }
        const std::string planted = dir.File(row.refused);
        if (row.plant == hardLink) {
            ASSERT_EQ(link(victim.c_str(), planted.c_str()), 0);
        }
        if (row.plant == worldWritable) {
            WriteFileBytes(planted, "planted");
            ASSERT_EQ(chmod(planted.c_str(), 0666), 0);
            ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
        }
        if (row.plant == fifo) {
            ASSERT_EQ(mkfifo(planted.c_str(), 0666), 0);
            ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
        }
        const Files before = snapshot(dir);
        const ChildResult run = as(row.bOther, Convert(dir, "in.gpx", "out.xml"));
        if (*row.refused) {
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, planted + " は共有フォルダーにある他のユーザーのファイルなので、置き換えません\n");
            EXPECT_EQ(snapshot(dir), before);
        } else {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.gpx", "out-1.xml", "out-2.xml", "victim.txt"}));
        }
        EXPECT_EQ(ReadFileBytes(victim), "the other user's");
    }
    // A folder the other user may not write to: the folder and the reason, no file of the set's.
    TempDir closed;
    WriteFileBytes(closed.File("in.gpx"), Gpx(3, "K"));
    ASSERT_EQ(chmod(closed.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(closed.File("in.gpx").c_str(), 0644), 0);
    const ChildResult denied = as(true, Convert(closed, "in.gpx", "keep.xml"));
    EXPECT_EQ(denied.status, 1);
    EXPECT_EQ(denied.err, "出力先のフォルダー " + closed.Path() + "/ に書き込めません: Permission denied (errno 13)\n");
    EXPECT_EQ(closed.List(), std::vector<std::string>{"in.gpx"});
}
