#pragma once
// Every POSIX call of the file layer goes through here, so that tests can fail any of them.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

class PosixCalls {
public:
    virtual ~PosixCalls() = default;
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual int Flock(int fd, int operation);
    virtual int Fstat(int fd, struct stat* st);
    virtual int Stat(const char* path, struct stat* st);
    virtual int Lstat(const char* path, struct stat* st);
    virtual ssize_t Readlink(const char* path, char* buf, size_t size);
    virtual ssize_t Read(int fd, void* buf, size_t count);
    virtual ssize_t Write(int fd, const void* buf, size_t count);
    virtual int Fsync(int fd);
    virtual int Fchmod(int fd, mode_t mode);
    // Reserves blocks for the range without changing the file's length (fallocate with
    // FALLOC_FL_KEEP_SIZE; posix_fallocate would lengthen the file with zeros): 0, or the error
    // number (EOPNOTSUPP where the file system cannot).
    virtual int Fallocate(int fd, off_t offset, off_t length);
    virtual int Ftruncate(int fd, off_t length);
    // Starts writing the file's dirty pages to disk without waiting (sync_file_range with
    // SYNC_FILE_RANGE_WRITE): 0, or the error number (ENOSYS where the system has no such call).
    // Only a hint: an fsync still makes the data durable.
    virtual int SyncFileRange(int fd);
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
    virtual char* Getcwd(char* buf, size_t size);
    // The path with links, "." and ".." resolved into resolved (PATH_MAX bytes); nullptr with errno.
    virtual char* Realpath(const char* path, char* resolved);
    // The entry names of a folder ("." and ".." left out): 0, or the error number.
    virtual int ReadFolder(const char* path, std::vector<std::string>& names);
    virtual pid_t Getpid();
    virtual uid_t Geteuid();
    virtual int Kill(pid_t pid, int signal);
    virtual int Futimens(int fd, const struct timespec times[2]);
    // A read-only private mapping of a whole file; MAP_FAILED on failure, as mmap.
    virtual void* MapRead(int fd, size_t length);
    virtual int Unmap(void* address, size_t length);
    virtual void* Dlopen(const char* name, int flags);
    virtual void* Dlsym(void* handle, const char* symbol);
    virtual int Mkdir(const char* path, mode_t mode);

    static PosixCalls& Current();
    // Installs calls (nullptr: the real ones again); returns the previous.
    static PosixCalls* Replace(PosixCalls* calls);
};
