#include "platform/posix/PosixCalls.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

int PosixCalls::Open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int PosixCalls::Flock(int fd, int operation) { return ::flock(fd, operation); }
int PosixCalls::Fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
int PosixCalls::Stat(const char* path, struct stat* st) { return ::stat(path, st); }
int PosixCalls::Lstat(const char* path, struct stat* st) { return ::lstat(path, st); }
ssize_t PosixCalls::Readlink(const char* path, char* buf, size_t size) { return ::readlink(path, buf, size); }
ssize_t PosixCalls::Read(int fd, void* buf, size_t count) { return ::read(fd, buf, count); }
ssize_t PosixCalls::Write(int fd, const void* buf, size_t count) { return ::write(fd, buf, count); }
ssize_t PosixCalls::WriteStandardOutput(const void* buf, size_t count) { return ::write(STDOUT_FILENO, buf, count); }
int PosixCalls::Fsync(int fd) { return ::fsync(fd); }
int PosixCalls::Fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int PosixCalls::Fallocate(int fd, off_t offset, off_t length) {
#ifdef FALLOC_FL_KEEP_SIZE
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, length) == 0 ? 0 : errno;
#else
    (void)fd, (void)offset, (void)length;
    return EOPNOTSUPP;
#endif
}
int PosixCalls::Ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
int PosixCalls::SyncFileRange(int fd) {
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
    return ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE) == 0 ? 0 : errno;
#else
    (void)fd;
    return ENOSYS;
#endif
}
int PosixCalls::Close(int fd) { return ::close(fd); }
void* PosixCalls::MapRead(int fd, size_t length) { return ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0); }
int PosixCalls::Unmap(void* address, size_t length) { return ::munmap(address, length); }
int PosixCalls::Rename(const char* from, const char* to) { return ::rename(from, to); }
int PosixCalls::Unlink(const char* path) { return ::unlink(path); }
char* PosixCalls::Getcwd(char* buf, size_t size) { return ::getcwd(buf, size); }
char* PosixCalls::Realpath(const char* path, char* resolved) { return ::realpath(path, resolved); }
int PosixCalls::ReadFolder(const char* path, std::vector<std::string>& names) {
    DIR* dir = ::opendir(path);
    if (!dir) return errno;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) names.emplace_back(name);
        errno = 0;
    }
    const int err = errno;
    ::closedir(dir);
    return err;
}
pid_t PosixCalls::Getpid() { return ::getpid(); }
uid_t PosixCalls::Geteuid() { return ::geteuid(); }

namespace {
// dlerror's words for the call that just failed; fallback when it has none.
std::string LoaderReason(const char* fallback) {
    const char* reason = ::dlerror();
    return reason ? reason : fallback;
}
}  // namespace

void* PosixCalls::Dlopen(const char* name, int flags, std::string& reason) {
    void* handle = ::dlopen(name, flags);
    if (!handle) reason = LoaderReason(name);
    return handle;
}
void* PosixCalls::Dlsym(void* handle, const char* symbol, std::string& reason) {
    ::dlerror();  // a symbol may be null: only a new error tells a failure
    void* address = ::dlsym(handle, symbol);
    if (!address) reason = LoaderReason(symbol);
    return address;
}
int PosixCalls::Mkdir(const char* path, mode_t mode) { return ::mkdir(path, mode); }
int PosixCalls::Rmdir(const char* path) { return ::rmdir(path); }
char* PosixCalls::Mkdtemp(char* pattern) { return ::mkdtemp(pattern); }
int PosixCalls::ClockGettime(clockid_t clock, struct timespec* time) { return ::clock_gettime(clock, time); }
int PosixCalls::Sigaction(int signal, const struct sigaction* action, struct sigaction* previous) {
    return ::sigaction(signal, action, previous);
}
int PosixCalls::SignalMask(int how, const sigset_t* set, sigset_t* previous) { return ::pthread_sigmask(how, set, previous); }
const char* PosixCalls::Getenv(const char* name) { return std::getenv(name); }

void PosixCalls::UnlinkInHandler(const char* path) { ::unlink(path); }
void PosixCalls::DieOfSignal(int signal) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

namespace {
PosixCalls g_realCalls;
PosixCalls* g_calls = &g_realCalls;
}  // namespace

PosixCalls& PosixCalls::Current() { return *g_calls; }

PosixCalls* PosixCalls::Replace(PosixCalls* calls) {
    PosixCalls* previous = g_calls;
    g_calls = calls ? calls : &g_realCalls;
    return previous;
}
