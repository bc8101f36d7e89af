// The in-memory file system behaves like the disk as far as the file layer can tell.
#include "support/FailingPosixCalls.h"
#include "support/MemoryCalls.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/CFile.h"
#include "platform/CSaveFile.h"

namespace {
std::string ReadWhole(const CString& name, CFileException& error) {
    CFile file;
    if (!file.Open(name, CFile::modeRead, &error)) return "<open failed>";
    std::string bytes(static_cast<size_t>(file.GetLength()), '\0');
    bytes.resize(file.Read(&bytes[0], static_cast<unsigned>(bytes.size())));
    file.Close();
    return bytes;
}
}  // namespace

TEST(MemoryCallsTest, OpensFollowTheDisksRules) {
    MemoryCalls calls("/mem/work");
    calls.SetFile("/mem/work/in.mem", "points");
    struct Case {
        const char* name;
        std::string bytes;
        int cause;
    };
    const Case cases[] = {
        {"in.mem", "points", CFileException::none},
        {"/mem/work/in.mem", "points", CFileException::none},
        {"none.mem", "<open failed>", CFileException::fileNotFound},
        {"/mem/nowhere/in.mem", "<open failed>", CFileException::badPath},
        {"/mem/work", "<open failed>", CFileException::accessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFileException error;
        EXPECT_EQ(ReadWhole(c.name, error), c.bytes);
        EXPECT_EQ(error.m_cause, c.cause);
    }
    EXPECT_EQ(calls.OpenDescriptors(), 0);
}

TEST(MemoryCallsTest, ADocumentReplacesItsTargetOnlyWhenClosed) {
    MemoryCalls calls("/mem");
    calls.SetFile("/mem/out.xml", "old");
    {
        CSaveFile file;
        ASSERT_TRUE(file.Open("out.xml"));
        file.Write("new document", 12);
        CFile rival;
        CFileException error;
        EXPECT_FALSE(rival.Open("out.xml", CFile::modeRead, &error));
        EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
        EXPECT_EQ(calls.File("/mem/out.xml"), "old");
        file.Commit();
    }
    EXPECT_EQ(calls.File("/mem/out.xml"), "new document");
    EXPECT_EQ(calls.FileNames(), std::set<std::string>{"/mem/out.xml"});

    {
        FailingPosixCalls faults;
        faults.Fail(FailingPosixCalls::Call::Fsync, 1, EIO);
        CSaveFile failing;
        ASSERT_TRUE(failing.Open("out.xml"));
        failing.Write("lost", 4);
        EXPECT_THROW(failing.Commit(), CFileException);
    }
    EXPECT_EQ(calls.File("/mem/out.xml"), "new document");
    EXPECT_EQ(calls.FileNames(), std::set<std::string>{"/mem/out.xml"});
    EXPECT_EQ(calls.OpenDescriptors(), 0);
}
