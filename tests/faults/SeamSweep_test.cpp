// Every call of the POSIX seam failed in turn under the host services that make it: each failure
// is reported with its cause, the file and the system's text, or gives the documented fallback,
// and a document or a set is never left half-replaced. Every call that can fail must be reached.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform/CFile.h"
#include "platform/CSaveFile.h"
#include "platform/HostSystem.h"
#include "platform/MappedFile.h"
#include "platform/OutputSet.h"
#include "platform/StandardOutput.h"
#include "platform/posix/TempFiles.h"
#include "support/FailingPosixCalls.h"
#include "support/SetFiles.h"
#include "support/TempDir.h"

namespace {
using Call = FailingPosixCalls::Call;

// A file failure as a caller words it: the cause, the file as named, the system's text.
std::string Report(const CFileException& error) { return error.what(); }

struct Operation {
    const char* name;
    // Runs in dir; "" when it went through (or fell back as documented), else its report. A
    // report must name expected (a path, or "" when the caller names it) and the system's text.
    std::function<std::string(const TempDir& dir, std::string& expected)> run;
};

const Operation kOperations[] = {
    {"document over an earlier one",
     [](const TempDir& dir, std::string& expected) {
         expected = dir.File("doc.xml");
         WriteFileBytes(expected, "old");
         try {
             CSaveFile file;
             CFileException error;
             if (!file.Open(CString(expected), &error)) return Report(error);
             file.Write("new", 3);
             file.Commit();
         } catch (const CFileException& error) {
             EXPECT_EQ(ReadFileBytes(expected), "old");
             return Report(error);
         }
         EXPECT_EQ(ReadFileBytes(expected), "new");
         return std::string();
     }},
    {"file read whole",
     [](const TempDir& dir, std::string& expected) {
         expected = dir.File("in.mem");
         WriteFileBytes(expected, "bytes");
         try {
             CFile file;
             CFileException error;
             if (!file.Open(CString(expected), CFile::modeRead, &error)) return Report(error);
             char buffer[8] = {};
             const unsigned got = file.Read(buffer, sizeof buffer);
             EXPECT_EQ(std::string(buffer, got), "bytes");
             expected.clear();  // a read's close names no file, as the framework's does not
             file.Close();
         } catch (const CFileException& error) {
             return Report(error);
         }
         return std::string();
     }},
    {"file mapped",
     [](const TempDir& dir, std::string& expected) {
         expected = dir.File("in.gpx");
         WriteFileBytes(expected, "mapped");
         MappedFile file;
         CFileException error;
         if (!file.Open(CString(expected), &error)) return Report(error);
         EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()), file.Size()), "mapped");
         return std::string();
     }},
    {"set replacing a longer one",
     [](const TempDir& dir, std::string& expected) {
         expected = "/";  // a member, or a file of the state folder
         const auto write = [&](const std::map<std::string, std::string>& members) {
             try {
                 CommitSet(dir, members);
             } catch (const CFileException& error) {
                 return Report(error);
             }
             return std::string();
         };
         {
             const PosixCalls* below = PosixCalls::Replace(nullptr);  // the earlier set, made unfailed
             EXPECT_EQ(write({{"set-1.xml", "o1"}, {"set-2.xml", "o2"}}), "");
             PosixCalls::Replace(const_cast<PosixCalls*>(below));
         }
         const std::string failure = write({{"set-1.xml", "n1"}});
         const std::string first = ReadFileBytes(dir.File("set-1.xml"));
         // The old set whole, the new one whole, or a journal the next run completes.
         if (!FileExists(StateFile(dir.Path(), "set.xml", ".journal"))) {
             EXPECT_TRUE(first == "n1" ? !FileExists(dir.File("set-2.xml")) : first == "o1" && !failure.empty()) << first;
         }
         return failure;
     }},
    {"current folder",
     [](const TempDir&, std::string&) {
         const CString folder = GetCurrentFolder();
         EXPECT_TRUE(folder.IsEmpty() || folder.Str()[0] == '/') << folder.Str();
         return std::string();
     }},
    {"identity of a file",
     [](const TempDir& dir, std::string&) {
         const CString name(dir.File("x.xml"));
         const CString identity = FileIdentity(name);
         EXPECT_TRUE(identity == name || identity.Str().find("/x.xml") != std::string::npos) << identity.Str();
         return std::string();
     }},
    {"program folder",
     [](const TempDir&, std::string&) {
         const CString folder = ProgramFolder();
         EXPECT_TRUE(folder.IsEmpty() || folder.Str()[0] == '/') << folder.Str();
         return std::string();
     }},
    {"folder made",
     [](const TempDir& dir, std::string&) {
         std::string reason;
         return MakeFolder(CString(dir.File("made")), reason) ? std::string() : reason;
     }},
    {"temporary folder made and removed",
     [](const TempDir& dir, std::string& expected) {
         expected = dir.Path();
         std::string reason;
         const CString folder = MakeTemporaryFolder(reason);
         if (folder.IsEmpty()) return reason;
         EXPECT_EQ(folder.Str().rfind(dir.Path() + "/quorvel-", 0), 0u) << folder.Str();
         return RemovePath(folder, true, &reason) ? std::string() : reason;
     }},
    {"document streamed to standard output",
     [](const TempDir& dir, std::string& expected) {
         expected = StandardOutput::kName;
         // Standard output is a file of the test's own meanwhile.
         std::fflush(stdout);
         const int kept = ::dup(STDOUT_FILENO);
         const int file = ::open(dir.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
         ::dup2(file, STDOUT_FILENO);
         ::close(file);
         std::string report;
         try {
             StandardOutput output;
             output.Write("document", 8);
             output.Finish();
         } catch (const CFileException& error) {
             report = Report(error);
         }
         ::dup2(kept, STDOUT_FILENO);
         ::close(kept);
         if (report.empty()) {
             EXPECT_EQ(ReadFileBytes(dir.File("out")), "document");
         }
         return report;
     }},
    {"library loaded",
     [](const TempDir&, std::string&) {
         std::string reason;
         void* library = LoadSharedLibrary("libm.so.6", reason);
         if (library && SharedLibrarySymbol(library, "cos", reason)) return std::string();
         return reason;
     }},
    {"clock read",
     [](const TempDir&, std::string&) {
         const std::int64_t now = MonotonicMicroseconds();
         return now >= 0 ? std::string() : std::string(std::strerror(EIO));
     }},
    {"signals caught",
     [](const TempDir&, std::string&) {
         RemoveTempFilesOnSignals();
         return std::string();
     }},
};

// A temporary folder's path comes from TMPDIR: each run gets its own.
class TmpDirIs {
public:
    explicit TmpDirIs(const std::string& path) : m_had(std::getenv("TMPDIR")) {
        if (m_had) m_old = m_had;
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~TmpDirIs() { m_had ? setenv("TMPDIR", m_old.c_str(), 1) : unsetenv("TMPDIR"); }

private:
    const char* m_had;
    std::string m_old;
};

std::string RunIn(const Operation& operation, std::string& expected) {
    TempDir dir;
    const TmpDirIs tmp(dir.Path());
    return operation.run(dir, expected);
}

TEST(SeamSweep, EveryCallThatCanFailIsReachedAndFailedInTurn) {
    std::map<std::string, std::map<Call, int>> clean;  // calls each operation makes
    std::set<Call> reached;
    for (const Operation& operation : kOperations) {
        std::string expected;
        FailingPosixCalls counting;
        ASSERT_EQ(RunIn(operation, expected), "") << operation.name;
        for (Call call : FailingPosixCalls::AllCalls()) {
            clean[operation.name][call] = counting.Count(call);
            if (counting.Count(call) > 0) reached.insert(call);
        }
    }
    // No code uses these yet; a use must come with an operation here.
    const std::set<Call> unused = {Call::Fallocate, Call::Ftruncate};
    for (Call call : FailingPosixCalls::AllCalls()) {
        if (FailingPosixCalls::CanFail(call) && !unused.count(call)) {
            EXPECT_TRUE(reached.count(call)) << FailingPosixCalls::Name(call) << " is in the seam but no operation here makes it";
        }
    }

    int faults = 0;
    for (const Operation& operation : kOperations) {
        for (Call call : FailingPosixCalls::AllCalls()) {
            if (!FailingPosixCalls::CanFail(call)) continue;
            for (int nth = 1; nth <= clean[operation.name][call]; ++nth) {
                SCOPED_TRACE(std::string(operation.name) + ": " + FailingPosixCalls::Name(call) + " #" + std::to_string(nth));
                std::string expected, report;
                {
                    FailingPosixCalls failing;
                    failing.Fail(call, nth, EIO);
                    report = RunIn(operation, expected);
                }
                ++faults;
                if (report.empty()) continue;
                EXPECT_NE(report.find(std::strerror(EIO)), std::string::npos) << report;
                EXPECT_NE(report.find(expected), std::string::npos) << report;
            }
        }
    }
    EXPECT_GT(faults, 60);
}

// The wording of each failure a caller passes on: the cause, the file and the system's text.
TEST(SeamSweep, FailuresAreWordedWithTheirCauseFileAndSystemText) {
    TempDir dir;
    const TmpDirIs tmp(dir.Path());
    const struct {
        Call call;
        std::function<std::string()> run;
        std::string expected;
    } rows[] = {
        {Call::Mkdtemp,
         [] {
             std::string reason;
             MakeTemporaryFolder(reason);
             return reason;
         },
         dir.Path() + ": No space left on device"},
        {Call::Mkdir,
         [&] {
             std::string reason;
             MakeFolder(CString(dir.File("new")), reason);
             return reason;
         },
         "No space left on device"},
        {Call::Dlopen,
         [] {
             std::string reason;
             LoadSharedLibrary("libm.so.6", reason);
             return reason;
         },
         "No space left on device"},
        {Call::Open,
         [&] {
             CFile file;
             CFileException error;
             file.Open(CString(dir.File("none.mem")), CFile::modeRead, &error);
             return std::string(error.what());
         },
         "diskFull: " + dir.File("none.mem") + ": No space left on device (errno 28)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(FailingPosixCalls::Name(row.call));
        FailingPosixCalls failing;
        failing.Fail(row.call, 1, ENOSPC);
        EXPECT_EQ(row.run(), row.expected);
    }
}
}  // namespace
