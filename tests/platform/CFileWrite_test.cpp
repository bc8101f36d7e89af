// The all-or-nothing document write: the target is replaced only by a complete, synced document.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FailingPosixCalls.h"
#include "support/TempDir.h"
#include "platform/CSaveFile.h"

namespace {
using Call = FailingPosixCalls::Call;
const std::string kOld = "old document, longer than the new one\r\n";
const std::string kNew = "new\r\n";

std::string Describe(const CFileException& e) {
    return "cause " + std::to_string(e.m_cause) + " os " + std::to_string(e.m_lOsError) + " name " + e.m_strFileName.Str();
}

std::string Describe(int cause, long os, const std::string& name) {
    return "cause " + std::to_string(cause) + " os " + std::to_string(os) + " name " + name;
}

unsigned Mode(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return 0xFFFFFFFFu;
    return st.st_mode & 07777;
}

// Writes text as one document and describes how it ended: "written", or the failure record of
// the open or of the write/close.
std::string WriteDocument(const std::string& name, const std::string& text) {
    CSaveFile file;
    CFileException error(CFileException::none, 0, "untouched");
    if (!file.Open(CString(name), &error)) return "open " + Describe(error);
    try {
        file.Write(text.data(), static_cast<unsigned>(text.size()));
        file.Commit();
    } catch (const CFileException& e) {
        return "thrown " + Describe(e);
    }
    return "written";
}

class Umask {
public:
    explicit Umask(mode_t mask) : m_saved(umask(mask)) {}
    ~Umask() { umask(m_saved); }

private:
    mode_t m_saved;
};

TEST(CFileWrite, NewDocumentTakesTheUmaskAndLeavesOnlyItself) {
    const mode_t masks[] = {022, 027, 077, 0};
    for (mode_t mask : masks) {
        TempDir dir;
        Umask set(mask);
        const std::string path = dir.File("out.xml");
        EXPECT_EQ(WriteDocument(path, kNew), "written");
        EXPECT_EQ(ReadFileBytes(path), kNew);
        EXPECT_EQ(Mode(path), 0666u & ~mask) << std::oct << mask;
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
    }
}

TEST(CFileWrite, ReplacementKeepsThePermissionsOfTheTarget) {
    const unsigned modes[] = {0644, 0600, 0640, 0604, 0755};
    for (unsigned mode : modes) {
        TempDir dir;
        Umask set(077);
        const std::string path = dir.File("out.xml");
        WriteFileBytes(path, kOld);
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        EXPECT_EQ(WriteDocument(path, kNew), "written");
        EXPECT_EQ(ReadFileBytes(path), kNew);
        EXPECT_EQ(Mode(path), mode) << std::oct << mode;
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
    }
}

TEST(CFileWrite, ManySmallWritesArriveInOrderAcrossFlushes) {
    TempDir dir;
    const std::string path = dir.File("big.xml");
    std::string expected;
    FailingPosixCalls calls;
    CSaveFile file;
    ASSERT_TRUE(file.Open(CString(path)));
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "\t<line n=\"" + std::to_string(i) + "\"/>\r\n";
        file.Write(line.data(), static_cast<unsigned>(line.size()));
        expected += line;
    }
    EXPECT_EQ(file.GetLength(), expected.size());
    EXPECT_FALSE(FileExists(path));  // nothing at the target before Close
    file.Commit();
    EXPECT_EQ(ReadFileBytes(path), expected);
    // Buffered: one write call per 64 KiB, not one a line.
    EXPECT_LE(calls.Count(Call::Write), static_cast<int>(expected.size() / 65536 + 1));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"big.xml"});
}

TEST(CFileWrite, WhileWritingTheDocumentIsATemporaryFileBesideTheTarget) {
    TempDir dir;
    const std::string path = dir.File("out.xml");
    WriteFileBytes(path, kOld);
    CSaveFile file;
    ASSERT_TRUE(file.Open(CString(path)));
    const std::vector<std::string> names = dir.List();
    ASSERT_EQ(names.size(), 2u);
    const std::string& temp = names[0];
    const std::string prefix = ".out.xml." + std::to_string(getpid()) + "-";
    EXPECT_EQ(temp.compare(0, prefix.size(), prefix), 0) << temp;
    EXPECT_EQ(temp.substr(temp.size() - 4), ".tmp");
    EXPECT_EQ(ReadFileBytes(path), kOld);
    file.Abort();
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
    EXPECT_EQ(ReadFileBytes(path), kOld);
}

TEST(CFileWrite, AbandonedDocumentLeavesTheTargetAsItWas) {
    TempDir dir;
    const std::string path = dir.File("out.xml");
    WriteFileBytes(path, kOld);
    {
        CSaveFile file;
        ASSERT_TRUE(file.Open(CString(path)));
        file.Write(kNew.data(), static_cast<unsigned>(kNew.size()));
    }
    EXPECT_EQ(ReadFileBytes(path), kOld);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
    {
        CSaveFile file;
        ASSERT_TRUE(file.Open(dir.File("fresh.xml").c_str()));
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
}

TEST(CFileWrite, OpenFailuresAreReportedBeforeAnythingIsWritten) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("folder.xml").c_str(), 0755), 0);
    WriteFileBytes(dir.File("plain"), kOld);
    WriteFileBytes(dir.File("out.xml"), kOld);
    struct Row {
        std::string name;
        int cause;
        long os;
    };
    const Row rows[] = {
        {dir.File("nofolder/out.xml"), CFileException::badPath, ENOENT},
        {dir.File("plain/out.xml"), CFileException::badPath, ENOTDIR},
        {dir.File("folder.xml"), CFileException::accessDenied, EISDIR},
        {dir.File("folder.xml/"), CFileException::accessDenied, EISDIR},
        {dir.File("nofolder/"), CFileException::badPath, ENOENT},
        {dir.File(std::string(300, 'n') + ".xml"), CFileException::badPath, ENAMETOOLONG},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(WriteDocument(row.name, kNew), "open " + Describe(row.cause, row.os, row.name));
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"folder.xml", "out.xml", "plain"}));
        EXPECT_EQ(ReadFileBytes(dir.File("plain")), kOld);
    }
}

TEST(CFileWrite, TargetInUseElsewhereIsASharingViolation) {
    TempDir dir;
    const std::string path = dir.File("out.xml");
    WriteFileBytes(path, kOld);
    {
        LockHolder holder(path);
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(WriteDocument(path, kNew), "open " + Describe(CFileException::sharingViolation, EWOULDBLOCK, path));
        EXPECT_EQ(ReadFileBytes(path), kOld);
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
    }
    // A second writer of the same target is refused while the first holds it.
    CSaveFile first;
    ASSERT_TRUE(first.Open(CString(path)));
    EXPECT_EQ(WriteDocument(path, kNew), "open " + Describe(CFileException::sharingViolation, EWOULDBLOCK, path));
    first.Write(kNew.data(), static_cast<unsigned>(kNew.size()));
    first.Commit();
    EXPECT_EQ(ReadFileBytes(path), kNew);
}

TEST(CFileWrite, PermissionFailuresForAnUnprivilegedUser) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
    const std::string readOnly = dir.File("readonly.xml");
    WriteFileBytes(readOnly, kOld);
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(mkdir(dir.File("locked").c_str(), 0555), 0);
    struct Row {
        std::string name;
        int cause;
        long os;
    };
    const Row rows[] = {
        {readOnly, CFileException::accessDenied, EACCES},
        {dir.File("locked/new.xml"), CFileException::accessDenied, EACCES},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RunInUnprivilegedChild([&] { return WriteDocument(row.name, kNew); }),
                  "open " + Describe(row.cause, row.os, row.name));
    }
    EXPECT_EQ(ReadFileBytes(readOnly), kOld);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"locked", "readonly.xml"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("locked")));
    // The same user may write a new document into the open folder.
    EXPECT_EQ(RunInUnprivilegedChild([&] { return WriteDocument(dir.File("mine.xml"), kNew); }), "written");
}

TEST(CFileWrite, FailedCallsOfTheOpenLeaveNothingBehind) {
    struct Row {
        Call call;
        int nth;
        int err;
        int cause;
    };
    // Opens: 1 the target, 2 the temporary file.
    const Row rows[] = {
        {Call::Open, 1, EMFILE, CFileException::tooManyOpenFiles},
        {Call::Open, 2, EMFILE, CFileException::tooManyOpenFiles},
        {Call::Open, 2, ENOSPC, CFileException::diskFull},
        {Call::Open, 2, EDQUOT, CFileException::diskFull},
        {Call::Open, 2, EROFS, CFileException::accessDenied},
        {Call::Flock, 1, ENOLCK, CFileException::generic},
        {Call::Fstat, 1, EIO, CFileException::hardIO},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const std::string path = dir.File("out.xml");
        WriteFileBytes(path, kOld);
        FailingPosixCalls calls;
        calls.Fail(row.call, row.nth, row.err);
        EXPECT_EQ(WriteDocument(path, kNew), "open " + Describe(row.cause, row.err, path))
            << FailingPosixCalls::Name(row.call) << " " << row.nth;
        EXPECT_EQ(ReadFileBytes(path), kOld);
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
        // Every descriptor opened is closed again.
        EXPECT_EQ(calls.Count(Call::Close), calls.Count(Call::Open) - (row.call == Call::Open ? 1 : 0));
    }
}

TEST(CFileWrite, TakenTemporaryNamesAreSkipped) {
    TempDir dir;
    const std::string path = dir.File("out.xml");
    FailingPosixCalls calls;
    calls.Fail(Call::Open, 2, EEXIST).Fail(Call::Open, 3, EEXIST);
    EXPECT_EQ(WriteDocument(path, kNew), "written");
    EXPECT_EQ(ReadFileBytes(path), kNew);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
}

// Calls made by Close of a replacement, in order: Write (the rest), Fchmod, Fsync 1 (the file),
// Close 1 (the file), Open 1 (the folder), Rename, Fsync 2 (the folder), Close 2 and 3.
TEST(CFileWrite, FailuresBeforeTheRenameLeaveTheOldTargetAndNoTemporaryFile) {
    struct Row {
        Call call;
        int nth;
        int err;  // 0: a short write
        int cause;
        long os;
    };
    const Row rows[] = {
        {Call::Write, 1, EIO, CFileException::hardIO, EIO},
        {Call::Write, 1, ENOSPC, CFileException::diskFull, ENOSPC},
        {Call::Write, 1, EFBIG, CFileException::diskFull, EFBIG},
        {Call::Write, 1, 0, CFileException::diskFull, -1},
        {Call::Fchmod, 1, EPERM, CFileException::accessDenied, EPERM},
        {Call::Fsync, 1, EIO, CFileException::hardIO, EIO},
        {Call::Fsync, 1, ENOSPC, CFileException::diskFull, ENOSPC},
        {Call::Close, 1, EIO, CFileException::hardIO, EIO},
        {Call::Open, 1, EMFILE, CFileException::tooManyOpenFiles, EMFILE},
        {Call::Rename, 1, EACCES, CFileException::accessDenied, EACCES},
        {Call::Rename, 1, EIO, CFileException::hardIO, EIO},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const std::string path = dir.File("out.xml");
        WriteFileBytes(path, kOld);
        ASSERT_EQ(chmod(path.c_str(), 0640), 0);
        CSaveFile file;
        ASSERT_TRUE(file.Open(CString(path)));
        file.Write(kNew.data(), static_cast<unsigned>(kNew.size()));
        FailingPosixCalls calls;
        if (row.err == 0) calls.Short(row.call, row.nth, kNew.size() - 1);
        else calls.Fail(row.call, row.nth, row.err);
        try {
            file.Commit();
            ADD_FAILURE() << "close did not fail";
        } catch (const CFileException& e) {
            EXPECT_EQ(Describe(e), Describe(row.cause, row.os, path)) << FailingPosixCalls::Name(row.call);
        }
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(ReadFileBytes(path), kOld) << FailingPosixCalls::Name(row.call);
        EXPECT_EQ(Mode(path), 0640u);
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"}) << FailingPosixCalls::Name(row.call);
        EXPECT_THROW(file.Commit(), CFileException);  // nothing is left to commit
        EXPECT_EQ(ReadFileBytes(path), kOld);
    }
}

TEST(CFileWrite, FailedFlushWhileWritingDropsTheDocumentAtOnce) {
    TempDir dir;
    const std::string path = dir.File("out.xml");
    WriteFileBytes(path, kOld);
    CSaveFile file;
    ASSERT_TRUE(file.Open(CString(path)));
    FailingPosixCalls calls;
    calls.Fail(Call::Write, 1, ENOSPC);
    const std::string line(1000, 'x');
    int written = 0;
    try {
        for (; written < 100; ++written) file.Write(line.data(), static_cast<unsigned>(line.size()));
        ADD_FAILURE() << "no flush failed";
    } catch (const CFileException& e) {
        EXPECT_EQ(Describe(e), Describe(CFileException::diskFull, ENOSPC, path));
    }
    EXPECT_EQ(written, 65);  // the first Write that takes the buffer past 64 KiB
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
    EXPECT_THROW(file.Commit(), CFileException);  // cannot put a document with a hole in place
    EXPECT_EQ(ReadFileBytes(path), kOld);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
}

// The complete document is in place once renamed: a folder that cannot be synced fails nothing.
TEST(CFileWrite, FolderSyncFailureAfterTheRenameIsNoFailure) {
    TempDir dir;
    const std::string path = dir.File("out.xml");
    WriteFileBytes(path, kOld);
    const int errs[] = {EIO, EINVAL};  // EINVAL: a file system that does not sync folders
    for (int err : errs) {
        CSaveFile file;
        ASSERT_TRUE(file.Open(CString(path)));
        file.Write(kNew.data(), static_cast<unsigned>(kNew.size()));
        FailingPosixCalls calls;
        calls.Fail(Call::Fsync, 2, err);
        std::string outcome = "written";
        try {
            file.Commit();
        } catch (const CFileException& e) {
            outcome = "thrown " + Describe(e);
        }
        EXPECT_EQ(outcome, "written");
        EXPECT_EQ(ReadFileBytes(path), kNew);
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
        WriteFileBytes(path, kOld);
    }
}

TEST(CFileWrite, RelativeNamesAreRecordedAsFullPaths) {
    TempDir dir;
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    std::string described;
    std::string failedOpen;
    std::string fullPath;
    {
        CSaveFile file;
        if (file.Open("rel.xml")) {
            fullPath = file.GetFilePath().Str();
            FailingPosixCalls calls;
            calls.Fail(Call::Fsync, 1, EIO);
            try {
                file.Commit();
            } catch (const CFileException& e) {
                described = Describe(e);
            }
        }
        failedOpen = WriteDocument("missing/rel.xml", kNew);
    }
    char cwd[4096];
    const bool haveCwd = getcwd(cwd, sizeof cwd) != nullptr;
    ASSERT_EQ(chdir(saved), 0);
    ASSERT_TRUE(haveCwd);
    EXPECT_EQ(fullPath, std::string(cwd) + "/rel.xml");
    EXPECT_EQ(described, Describe(CFileException::hardIO, EIO, std::string(cwd) + "/rel.xml"));
    EXPECT_EQ(failedOpen, "open " + Describe(CFileException::badPath, ENOENT, "missing/rel.xml"));
    EXPECT_TRUE(dir.List().empty());
}

TEST(CFileWrite, LongTargetNamesStillGetATemporaryName) {
    TempDir dir;
    const std::string path = dir.File(std::string(250, 'l') + ".xml");
    EXPECT_EQ(WriteDocument(path, kNew), "written");
    EXPECT_EQ(ReadFileBytes(path), kNew);
    EXPECT_EQ(dir.List().size(), 1u);
}
}  // namespace

// A save file is committed once: whatever is asked of it afterwards fails and leaves the
// committed document as it is, so that no second commit can be taken for a save.
TEST(CFileWrite, ACommittedDocumentTakesNothingMore) {
    const struct {
        const char* what;
        std::function<void(CSaveFile&)> act;
    } rows[] = {
        {"write", [](CSaveFile& f) { f.Write("more", 4); }},
        {"flush", [](CSaveFile& f) { f.Flush(); }},
        {"commit", [](CSaveFile& f) { f.Commit(); }},
        {"length", [](CSaveFile& f) { f.GetLength(); }},
    };
    for (const auto& row : rows) {
        TempDir dir;
        const std::string path = dir.File("out.xml");
        WriteFileBytes(path, kOld);
        CSaveFile file;
        ASSERT_TRUE(file.Open(CString(path)));
        file.Write(kNew.data(), static_cast<unsigned>(kNew.size()));
        file.Commit();
        EXPECT_FALSE(file.IsOpen()) << row.what;
        try {
            row.act(file);
            ADD_FAILURE() << row.what << " after the commit did not fail";
        } catch (const CFileException& e) {
            EXPECT_EQ(Describe(e), Describe(CFileException::invalidFile, EBADF, path)) << row.what;
        }
        EXPECT_EQ(ReadFileBytes(path), kNew) << row.what;
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"}) << row.what;
    }
}
