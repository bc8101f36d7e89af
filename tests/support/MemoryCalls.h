#pragma once
// A file system in memory behind the file layer's POSIX calls: for benchmarks and fuzzers that
// must not touch the disk. Installed for its lifetime; a FailingPosixCalls installed after it
// fails chosen calls on top of it. Paths are taken as given (no "." or ".."
// resolution); the current directory and "/" exist from the start.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/PosixCalls.h"

class MemoryCalls : public PosixCalls {
public:
    explicit MemoryCalls(std::string cwd = "/mem");
    ~MemoryCalls() override;
    MemoryCalls(const MemoryCalls&) = delete;
    MemoryCalls& operator=(const MemoryCalls&) = delete;

    void AddFolder(const std::string& path);
    void SetFile(const std::string& path, std::string bytes);
    bool HasFile(const std::string& path) const;
    const std::string& File(const std::string& path) const;  // throws std::out_of_range
    std::set<std::string> FileNames() const;
    int OpenDescriptors() const { return static_cast<int>(m_open.size()); }

    // Bytes all files may hold together; a write beyond is cut short, then fails with ENOSPC.
    void SetCapacity(std::size_t bytes) { m_capacity = bytes; }

    int Open(const char* path, int flags, mode_t mode) override;
    int Flock(int fd, int operation) override;
    int Fstat(int fd, struct stat* st) override;
    int Stat(const char* path, struct stat* st) override;
    int Lstat(const char* path, struct stat* st) override { return Stat(path, st); }  // no links here
    int ReadFolder(const char* path, std::vector<std::string>& names) override;
    ssize_t Read(int fd, void* buf, size_t count) override;
    ssize_t Write(int fd, const void* buf, size_t count) override;
    int Fsync(int fd) override;
    int SyncFileRange(int fd) override;
    int Fchmod(int fd, mode_t mode) override;
    int Close(int fd) override;
    int Rename(const char* from, const char* to) override;
    int Unlink(const char* path) override;
    char* Getcwd(char* buf, size_t size) override;
    int Mkdir(const char* path, mode_t mode) override;

private:
    struct Node {
        std::string bytes;
        mode_t mode = 0644;
        int lockedBy = -1;  // descriptor holding the exclusive lock
    };
    struct Descriptor {
        std::string path;
        bool folder = false;
        bool readable = false;
        bool writable = false;
        std::size_t offset = 0;
    };

    static std::string Normal(const std::string& path);
    static std::string Parent(const std::string& path);
    bool IsFolder(const std::string& path) const;
    std::size_t UsedBytes() const;
    void ReleaseLocks(int fd);
    int Error(int err);

    std::string m_cwd;
    std::set<std::string> m_folders;
    std::map<std::string, Node> m_files;
    std::map<int, Descriptor> m_open;
    std::size_t m_capacity = static_cast<std::size_t>(-1);
    int m_nextFd = 100;
    PosixCalls* m_previous;
};
