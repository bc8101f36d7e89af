// Opening and reading existing files, through the real file system and through failing calls.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

#include "support/ChildProcess.h"
#include "support/FailingPosixCalls.h"
#include "support/TempDir.h"
#include "platform/CFile.h"

namespace {
using Call = FailingPosixCalls::Call;

std::string Describe(const CFileException& e) {
    return "cause " + std::to_string(e.m_cause) + " os " + std::to_string(e.m_lOsError) + " name " + e.m_strFileName.Str();
}

std::string Describe(int cause, long os, const std::string& name) {
    return "cause " + std::to_string(cause) + " os " + std::to_string(os) + " name " + name;
}

// Opens name for reading and describes the failure record ("opened" when it did not fail).
std::string OpenForReading(const std::string& name) {
    CFile file;
    CFileException error(CFileException::none, 0, "untouched");
    if (file.Open(CString(name), CFile::modeRead | CFile::shareExclusive, &error)) return "opened";
    return Describe(error);
}

// Restores the working folder when a test has moved it.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& path) {
        char buffer[4096];
        if (getcwd(buffer, sizeof buffer)) m_saved = buffer;
        if (chdir(path.c_str()) != 0) ADD_FAILURE() << "chdir " << path;
    }
    ~WorkingFolder() {
        if (chdir(m_saved.c_str()) != 0) ADD_FAILURE() << "chdir back";
    }

private:
    std::string m_saved;
};

TEST(CFileRead, OpenFailuresNameTheCauseAndTheFileAsGiven) {
    TempDir dir;
    WriteFileBytes(dir.File("plain.txt"), "x");
    ASSERT_EQ(mkdir(dir.File("folder.mem").c_str(), 0755), 0);
    struct Row {
        std::string name;
        int cause;
        long os;
    };
    const Row rows[] = {
        {dir.File("missing.mem"), CFileException::fileNotFound, ENOENT},
        {dir.File("nofolder/x.mem"), CFileException::badPath, ENOENT},
        {dir.File("plain.txt/x.mem"), CFileException::badPath, ENOTDIR},
        {dir.File("folder.mem"), CFileException::accessDenied, EISDIR},
        {dir.File(std::string(300, 'n') + ".mem"), CFileException::badPath, ENAMETOOLONG},
    };
    for (const Row& row : rows) EXPECT_EQ(OpenForReading(row.name), Describe(row.cause, row.os, row.name));
}

TEST(CFileRead, RelativeNameIsKeptAsGivenOnFailureAndMadeFullOnSuccess) {
    TempDir dir;
    WriteFileBytes(dir.File("here.mem"), "abc");
    WorkingFolder moved(dir.Path());
    EXPECT_EQ(OpenForReading("gone.mem"), Describe(CFileException::fileNotFound, ENOENT, "gone.mem"));
    EXPECT_EQ(OpenForReading("sub/gone.mem"), Describe(CFileException::badPath, ENOENT, "sub/gone.mem"));

    CFile file;
    ASSERT_TRUE(file.Open("here.mem", CFile::modeRead));
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(file.GetFilePath(), std::string(cwd) + "/here.mem");
}

TEST(CFileRead, FileLockedByAnotherProcessIsASharingViolation) {
    TempDir dir;
    const std::string path = dir.File("held.mem");
    WriteFileBytes(path, "held");
    {
        LockHolder holder(path);
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(OpenForReading(path), Describe(CFileException::sharingViolation, EWOULDBLOCK, path));
    }
    EXPECT_EQ(OpenForReading(path), "opened");
}

TEST(CFileRead, OpenFileExcludesOtherOpeners) {
    TempDir dir;
    const std::string path = dir.File("mine.mem");
    WriteFileBytes(path, "mine");
    CFile first;
    ASSERT_TRUE(first.Open(CString(path), CFile::modeRead));
    EXPECT_EQ(OpenForReading(path), Describe(CFileException::sharingViolation, EWOULDBLOCK, path));
    LockHolder other(path);
    EXPECT_FALSE(other.Holding());
    first.Close();
    EXPECT_EQ(OpenForReading(path), "opened");
}

TEST(CFileRead, UnreadableFileIsAccessDenied) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const std::string path = dir.File("secret.mem");
    WriteFileBytes(path, "secret");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(RunInUnprivilegedChild([&] { return OpenForReading(path); }),
              Describe(CFileException::accessDenied, EACCES, path));
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(RunInUnprivilegedChild([&] { return OpenForReading(path); }), "opened");
}

TEST(CFileRead, FailedCallsOfTheOpenGiveTheirCause) {
    TempDir dir;
    const std::string path = dir.File("in.mem");
    WriteFileBytes(path, "data");
    struct Row {
        Call call;
        int err;
        int cause;
    };
    const Row rows[] = {
        {Call::Open, EMFILE, CFileException::tooManyOpenFiles},
        {Call::Open, ENFILE, CFileException::tooManyOpenFiles},
        {Call::Open, EIO, CFileException::hardIO},
        {Call::Open, EROFS, CFileException::accessDenied},
        {Call::Open, EPERM, CFileException::accessDenied},
        {Call::Open, ELOOP, CFileException::generic},
        {Call::Flock, EAGAIN, CFileException::sharingViolation},
        {Call::Flock, ENOLCK, CFileException::generic},
        {Call::Fstat, EIO, CFileException::hardIO},
    };
    for (const Row& row : rows) {
        FailingPosixCalls calls;
        calls.Fail(row.call, 1, row.err);
        EXPECT_EQ(OpenForReading(path), Describe(row.cause, row.err, path)) << FailingPosixCalls::Name(row.call);
        // A descriptor opened before the failure is given back.
        EXPECT_EQ(calls.Count(Call::Close), calls.Count(Call::Open) - (row.call == Call::Open ? 1 : 0));
    }
}

TEST(CFileRead, ReadCollectsPartialReadsAndStopsAtTheEnd) {
    TempDir dir;
    const std::string path = dir.File("in.mem");
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(i * 7);
    WriteFileBytes(path, bytes);

    FailingPosixCalls calls;
    calls.Short(Call::Read, 1, 1).Short(Call::Read, 2, 999).Fail(Call::Read, 3, EINTR);
    CFile file;
    ASSERT_TRUE(file.Open(CString(path), CFile::modeRead));
    EXPECT_EQ(file.GetLength(), 5000u);
    std::string got(6000, '\0');
    EXPECT_EQ(file.Read(&got[0], 4000), 4000u);
    EXPECT_EQ(file.Read(&got[4000], 2000), 1000u);
    EXPECT_EQ(file.Read(&got[5000], 10), 0u);
    got.resize(5000);
    EXPECT_EQ(got, bytes);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
}

TEST(CFileRead, FailuresAfterTheOpenThrowWithTheFullPath) {
    TempDir dir;
    const std::string path = dir.File("in.mem");
    WriteFileBytes(path, std::string(100, 'a'));
    struct Row {
        Call call;
        int err;
        int cause;
    };
    const Row rows[] = {
        {Call::Read, EIO, CFileException::hardIO},
        {Call::Read, EISDIR, CFileException::accessDenied},
        {Call::Fstat, EOVERFLOW, CFileException::generic},
    };
    for (const Row& row : rows) {
        CFile file;
        ASSERT_TRUE(file.Open(CString(path), CFile::modeRead));
        FailingPosixCalls calls;
        calls.Fail(row.call, 1, row.err);
        char buffer[100];
        try {
            if (row.call == Call::Read) file.Read(buffer, sizeof buffer);
            else file.GetLength();
            ADD_FAILURE() << "no failure for " << FailingPosixCalls::Name(row.call);
        } catch (const CFileException& e) {
            EXPECT_EQ(Describe(e), Describe(row.cause, row.err, path));
        }
    }
}

TEST(CFileRead, FailedCloseThrowsWithoutAName) {
    TempDir dir;
    const std::string path = dir.File("in.mem");
    WriteFileBytes(path, "x");
    CFile file;
    ASSERT_TRUE(file.Open(CString(path), CFile::modeRead));
    FailingPosixCalls calls;
    calls.Fail(Call::Close, 1, EIO);
    try {
        file.Close();
        ADD_FAILURE() << "close did not fail";
    } catch (const CFileException& e) {
        EXPECT_EQ(Describe(e), Describe(CFileException::hardIO, EIO, ""));
    }
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(OpenForReading(path), "opened");  // the lock went with the descriptor
}

TEST(CFileError, HostErrorsMapToCausesByMeaning) {
    const std::pair<long, int> rows[] = {
        {0, CFileException::none},
        {ENOENT, CFileException::fileNotFound},
        {ENOTDIR, CFileException::badPath},
        {ENAMETOOLONG, CFileException::badPath},
        {EACCES, CFileException::accessDenied},
        {EPERM, CFileException::accessDenied},
        {EROFS, CFileException::accessDenied},
        {EISDIR, CFileException::accessDenied},
        {EMFILE, CFileException::tooManyOpenFiles},
        {ENFILE, CFileException::tooManyOpenFiles},
        {ENOSPC, CFileException::diskFull},
        {EFBIG, CFileException::diskFull},
        {EDQUOT, CFileException::diskFull},
        {EIO, CFileException::hardIO},
        {EWOULDBLOCK, CFileException::sharingViolation},
        {EAGAIN, CFileException::sharingViolation},
        {EINVAL, CFileException::generic},
        {EEXIST, CFileException::generic},
        {-1, CFileException::generic},
    };
    for (const auto& row : rows) EXPECT_EQ(CFileException::OsErrorToException(row.first), row.second) << row.first;
}
}  // namespace
