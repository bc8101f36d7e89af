// A conversion interrupted halfway leaves no temporary file and the old document as it was.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "cli/CliConverter.h"
#include "platform/HostSystem.h"
#include "platform/posix/PosixCalls.h"
#include "support/TempDir.h"
#include "support/MemImage.h"

namespace {
// Writes that never finish, as on a stalled disk.
class StalledWrites : public PosixCalls {
public:
    ssize_t Write(int, const void*, size_t) override {
        for (;;) ::pause();
    }
};

bool HasTemporaryFile(const TempDir& dir) {
    for (const std::string& name : dir.List())
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) return true;
    return false;
}
}  // namespace

TEST(CliSignals, EachSignalRemovesTheTemporaryFileAndEndsTheProgramByIt) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        TempDir dir;
        MemImage image;
        image.Use(0).Name(0, "A").Latitude(0, MemImage::Seconds(35, 0, 0), 0).Longitude(0, MemImage::Seconds(139, 0, 0), 0);
        WriteFileBytes(dir.File("a.mem"), image.Bytes());
        WriteFileBytes(dir.File("a.xml"), "old");
        const pid_t child = fork();
        if (child == 0) {
            RemoveTempFilesOnSignals();
            StalledWrites stalled;
            PosixCalls::Replace(&stalled);
            std::ostringstream out, err;
            CliConverter(out, err, "quorvel-cli").Run({dir.File("a.mem")});
            _exit(0);
        }
        for (int i = 0; i < 500 && !HasTemporaryFile(dir); ++i) usleep(10000);
        ASSERT_TRUE(HasTemporaryFile(dir));
        kill(child, sig);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.mem", "a.xml"}));
        EXPECT_EQ(ReadFileBytes(dir.File("a.xml")), "old");
    }
}
