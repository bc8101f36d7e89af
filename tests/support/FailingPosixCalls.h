#pragma once
// The POSIX calls of the file layer with chosen calls failing: the n-th call of a kind fails with
// a given errno, or transfers fewer bytes than asked. Installed for its lifetime, over the calls
// installed before it (the system's, or MemoryCalls' file system in memory). Counting every
// call of each kind lets fault sweeps first run clean, then fail each call in turn.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/PosixCalls.h"

class FailingPosixCalls : public PosixCalls {
public:
    enum class Call {
        Open,
        Flock,
        Fstat,
        Stat,
        Read,
        Write,
        Fsync,
        Fchmod,
        Close,
        Rename,
        Unlink,
        Getcwd,
        Fallocate,
        Ftruncate,
        ReadFolder,
        SyncFileRange,
        kCount
    };

    FailingPosixCalls();
    ~FailingPosixCalls() override;
    FailingPosixCalls(const FailingPosixCalls&) = delete;
    FailingPosixCalls& operator=(const FailingPosixCalls&) = delete;

    // The nth (from 1) call of the kind fails with err; with andLater, every later one as well.
    // A failing Close still releases the descriptor, as close(2) does.
    FailingPosixCalls& Fail(Call call, int nth, int err, bool andLater = false);
    // The nth Read or Write moves at most bytes bytes (a short transfer, no error).
    FailingPosixCalls& Short(Call call, int nth, std::size_t bytes);
    // Open fails with err for every path that contains fragment (after the counted rules).
    FailingPosixCalls& FailOpenOf(const char* fragment, int err);

    int Count(Call call) const { return m_counts[static_cast<std::size_t>(call)]; }
    static const char* Name(Call call);

    int Open(const char* path, int flags, mode_t mode) override;
    int Flock(int fd, int operation) override;
    int Fstat(int fd, struct stat* st) override;
    int Stat(const char* path, struct stat* st) override;
    ssize_t Read(int fd, void* buf, size_t count) override;
    ssize_t Write(int fd, const void* buf, size_t count) override;
    int Fsync(int fd) override;
    int Fchmod(int fd, mode_t mode) override;
    int Close(int fd) override;
    int Rename(const char* from, const char* to) override;
    int Unlink(const char* path) override;
    char* Getcwd(char* buf, size_t size) override;
    int Fallocate(int fd, off_t offset, off_t length) override;
    int Ftruncate(int fd, off_t length) override;
    int ReadFolder(const char* path, std::vector<std::string>& names) override;  // fails with the error number
    int SyncFileRange(int fd) override;                                          // fails with the error number
    // Passed on uncounted to the calls below (a file system in memory has its own).
    int Lstat(const char* path, struct stat* st) override { return Below().Lstat(path, st); }
    ssize_t Readlink(const char* path, char* buf, size_t size) override { return Below().Readlink(path, buf, size); }
    int Futimens(int fd, const struct timespec times[2]) override { return Below().Futimens(fd, times); }

private:
    struct Rule {
        Call call;
        int nth;
        int err;  // 0: a short transfer of limit bytes
        bool andLater;
        std::size_t limit;
    };
    // The calls that were installed before: the system's, or a file system in memory.
    PosixCalls& Below();
    // Counts the call; the rule that applies to it, or nullptr.
    const Rule* Next(Call call);

    std::vector<Rule> m_rules;
    std::vector<std::pair<std::string, int>> m_openFailures;
    int m_counts[static_cast<std::size_t>(Call::kCount)] = {};
    PosixCalls* m_previous;
};
