// Faults of the real system rather than of the seam: file size and descriptor limits, a full
// device, permissions of another user, and a file locked by another program.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "ConversionRun.h"
#include "support/ChildProcess.h"

namespace {
using Log = std::vector<std::string>;
const Log kFolderAfter = {"route.mem", "route.xml"};

constexpr int kResultFd = 1000;

// Runs body in a forked child (limits set there stay there); its text comes back through a pipe.
std::string InChild(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        // A descriptor far up, so that tests may close everything below it.
        if (dup2(pipeFds[1], kResultFd) != kResultFd) _exit(2);
        close(pipeFds[1]);
        const std::string text = body();
        const ssize_t wrote = write(kResultFd, text.data(), text.size());
        _exit(wrote == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(pipeFds[1]);
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed: " + text;
    return text;
}

std::string Outcome(const PressResult& result) { return Converted(result) ? "converted" : Joined(result.log); }

std::string Left(const std::string& name, const char* text) { return "ReadBoxes / MessageBox quorvel 0x10 | " + name + text + " / "; }

TEST(RealFaults, FileSizeLimitLeavesTheEarlierDocument) {
    ConversionFolder folder;
    for (rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{4096}, rlim_t{40000}}) {
        SCOPED_TRACE(limit);
        const std::string outcome = InChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit lim{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return std::string("setrlimit failed");
            return Outcome(PressConvert(folder.input, folder.output));
        });
        EXPECT_EQ(outcome, Left(folder.output, " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"));
        EXPECT_EQ(ReadFileBytes(folder.output), ConversionFolder::kOld);
        EXPECT_EQ(folder.dir.List(), kFolderAfter);
    }
    EXPECT_TRUE(Converted(PressConvert(folder.input, folder.output)));
    EXPECT_EQ(ReadFileBytes(folder.output), folder.expected);
}

// With k descriptors free: none opens no input, one opens no temporary document, two suffice
// (the temporary document is closed before the folder is opened to be synced).
TEST(RealFaults, DescriptorLimitIsReportedByWhoeverRanOut) {
    ConversionFolder folder;
    const std::vector<std::string> expected = {
        "ReadBoxes / MessageBox quorvel 0x30 | " + folder.input +
            "\n    を読み込み用に開けませんでした / "
            "MessageBox ERROR 0x0 | ファイル " +
            folder.input + " の読み込みに失敗しました / ",
        "ReadBoxes / MessageBox quorvel 0x30 | \"" + folder.output + "\"\n\nオープン ファイル数超過 / ",
        "converted",
    };
    for (std::size_t free = 0; free < expected.size(); ++free) {
        SCOPED_TRACE(free);
        folder.RestoreOldOutput();
        const std::string outcome = InChild([&] {
            for (int fd = 3; fd < kResultFd; ++fd) close(fd);  // no holes: the next opens are 3, 4, ...
            const int lowest = 3;
            const rlim_t limit = static_cast<rlim_t>(lowest) + free;
            const rlimit lim{limit, limit};
            if (setrlimit(RLIMIT_NOFILE, &lim) != 0) return std::string("setrlimit failed");
            return Outcome(PressConvert(folder.input, folder.output));
        });
        EXPECT_EQ(outcome, expected[free]);
        EXPECT_EQ(ReadFileBytes(folder.output), free + 1 == expected.size() ? folder.expected : ConversionFolder::kOld);
        EXPECT_EQ(folder.dir.List(), kFolderAfter);
    }
}

// Where the output name points: links are followed and left as they are, a file with other names
// is replaced under the one name (the others keep the old text), devices and FIFOs are written as
// they are, a folder that takes no new file fails the conversion and keeps its file as it was. A
// link as input is refused by its length.
TEST(RealFaults, OutputsReachWhatTheirNamesPointAt) {
    ConversionFolder folder;
    const std::string d = folder.dir.Path() + "/";
    ASSERT_EQ(mkdir((d + "other").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((d + "locked").c_str(), 0755), 0);
    for (const char* file : {"real.xml", "chained.xml", "other/far.xml", "hard.xml", "locked/kept.xml"})
        WriteFileBytes(d + file, ConversionFolder::kOld);
    ASSERT_EQ(symlink("real.xml", (d + "link.xml").c_str()), 0);
    ASSERT_EQ(symlink("chained.xml", (d + "chain1").c_str()), 0);
    ASSERT_EQ(symlink(("chain1"), (d + "chain2.xml").c_str()), 0);
    ASSERT_EQ(symlink((d + "other/far.xml").c_str(), (d + "far.xml").c_str()), 0);
    ASSERT_EQ(symlink("made.xml", (d + "dangling.xml").c_str()), 0);
    ASSERT_EQ(symlink("loop2.xml", (d + "loop1.xml").c_str()), 0);
    ASSERT_EQ(symlink("loop1.xml", (d + "loop2.xml").c_str()), 0);
    ASSERT_EQ(symlink("/dev/full", (d + "full.xml").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", (d + "null.xml").c_str()), 0);
    ASSERT_EQ(link((d + "hard.xml").c_str(), (d + "hard2.xml").c_str()), 0);
    ASSERT_EQ(mkfifo((d + "fifo.xml").c_str(), 0644), 0);
    ASSERT_EQ(chmod((d + "locked/kept.xml").c_str(), 0666), 0);
    ASSERT_EQ(chmod((d + "locked").c_str(), 0555), 0);
    ASSERT_EQ(chmod(folder.dir.Path().c_str(), 0777), 0);
    struct Row {
        std::string output;
        std::string written;  // the file that must hold the document; empty: nothing converts
        std::string outcome;  // the application's boxes when nothing converts
    };
    const Row rows[] = {
        {"link.xml", "real.xml", ""},
        {"chain2.xml", "chained.xml", ""},
        {"far.xml", "other/far.xml", ""},
        {"dangling.xml", "made.xml", ""},
        {"hard.xml", "hard.xml", ""},
        {"null.xml", "", ""},
        {"loop1.xml", "", "MessageBox quorvel 0x30 | \"" + d + "loop1.xml\"\n\n未定義エラー"},
        {"full.xml", "", "MessageBox quorvel 0x10 | " + d + "full.xml へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"},
        {"fifo.xml", "", "MessageBox quorvel 0x30 | \"" + d + "fifo.xml\"\n\n読み取る側のないパイプ"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.output);
        const PressResult result = PressConvert(folder.input, d + row.output);
        if (row.outcome.empty() && row.output != "null.xml") {
            EXPECT_TRUE(Converted(result)) << Joined(result.log);
            EXPECT_EQ(ReadFileBytes(d + row.written), folder.expected);
        } else if (row.output == "null.xml") {
            EXPECT_TRUE(Converted(result)) << Joined(result.log);
        } else {
            EXPECT_FALSE(Converted(result));
            EXPECT_EQ(AppBoxes(result.log), 1);
            EXPECT_NE(Joined(result.log).find(row.outcome), std::string::npos) << Joined(result.log);
        }
    }
    struct stat st {};
    for (const char* name : {"link.xml", "chain2.xml", "far.xml", "dangling.xml", "full.xml"}) {
        ASSERT_EQ(lstat((d + name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
    }
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(ReadFileBytes(d + "hard2.xml"), ConversionFolder::kOld);
    // The folder that takes no new file, for a user who owns neither it nor the file.
    const std::string kept = RunInUnprivilegedChild([&] {
        return Converted(PressConvert(folder.input, d + "locked/kept.xml")) ? ReadFileBytes(d + "locked/kept.xml") : "failed";
    });
    EXPECT_EQ(kept, "failed");
    EXPECT_EQ(ReadFileBytes(d + "locked/kept.xml"), ConversionFolder::kOld);
    EXPECT_EQ(folder.dir.List(), (Log{"chain1", "chain2.xml", "chained.xml", "dangling.xml", "far.xml", "fifo.xml",
                                      "full.xml", "hard.xml", "hard2.xml", "link.xml", "locked", "loop1.xml",
                                      "loop2.xml", "made.xml", "null.xml", "other", "real.xml", "route.mem", "route.xml"}));
    const std::string linkedInput = d + "full.mem";
    ASSERT_EQ(symlink("/dev/full", linkedInput.c_str()), 0);
    EXPECT_EQ(Outcome(PressConvert(linkedInput, folder.output)),
              "ReadBoxes / MessageBox quorvel 0x30 | " + linkedInput + "\n    は認識できないファイルです / MessageBox ERROR 0x0 | ファイル " +
                  linkedInput + " の読み込みに失敗しました / ");
    EXPECT_EQ(ReadFileBytes(folder.output), ConversionFolder::kOld);
}

TEST(RealFaults, ReadOnlyTargetAndFolderForAnotherUser) {
    ConversionFolder folder;
    ASSERT_EQ(chmod(folder.dir.Path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(folder.output.c_str(), 0444), 0);
    const std::string locked = folder.dir.File("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
    struct Row {
        std::string output;
        std::string outcome;
    };
    const Row rows[] = {
        {folder.output, "ReadBoxes / MessageBox quorvel 0x30 | \"" + folder.output + "\"\n\nファイル アクセス禁止 / "},
        {locked + "/new.xml", "ReadBoxes / MessageBox quorvel 0x30 | \"" + locked + "/new.xml\"\n\nファイル アクセス禁止 / "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.output);
        EXPECT_EQ(RunInUnprivilegedChild([&] { return Outcome(PressConvert(folder.input, row.output)); }), row.outcome);
    }
    EXPECT_EQ(ReadFileBytes(folder.output), ConversionFolder::kOld);
    EXPECT_EQ(folder.dir.List(), (Log{"locked", "route.mem", "route.xml"}));
    // The same user converts into a name of its own in the open folder.
    EXPECT_EQ(RunInUnprivilegedChild([&] { return Outcome(PressConvert(folder.input, folder.dir.File("mine.xml"))); }),
              "converted");
    EXPECT_EQ(ReadFileBytes(folder.dir.File("mine.xml")), folder.expected);
}

TEST(RealFaults, FilesLockedByAnotherProgram) {
    ConversionFolder folder;
    {
        LockHolder holder(folder.output);
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(Outcome(PressConvert(folder.input, folder.output)),
                  "ReadBoxes / MessageBox quorvel 0x30 | \"" + folder.output + "\"\n\nSHARE.EXE 未ロードまたは共有領域ロック済み / ");
    }
    EXPECT_EQ(ReadFileBytes(folder.output), ConversionFolder::kOld);
    {
        LockHolder holder(folder.input);
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(Outcome(PressConvert(folder.input, folder.output)),
                  "ReadBoxes / MessageBox quorvel 0x30 | ファイルの共有違反です / MessageBox ERROR 0x0 | ファイル " + folder.input +
                      " の読み込みに失敗しました / ");
    }
    EXPECT_EQ(ReadFileBytes(folder.output), ConversionFolder::kOld);
    EXPECT_EQ(folder.dir.List(), kFolderAfter);
    EXPECT_TRUE(Converted(PressConvert(folder.input, folder.output)));
    EXPECT_EQ(ReadFileBytes(folder.output), folder.expected);
}
}  // namespace
