#include "platform/posix/InPlaceWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/PosixCalls.h"

namespace {
int Reserve(int fd, std::size_t size) {
    if (size == 0) return 0;
    const int err = PosixCalls::Current().Fallocate(fd, 0, static_cast<off_t>(size));
    return err == EOPNOTSUPP || err == ENOSYS ? 0 : err;
}
}  // namespace

int ReserveInPlace(const std::string& path, std::size_t size) {
    PosixCalls& os = PosixCalls::Current();
    const int fd = os.Open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) return errno;
    const int err = Reserve(fd, size);
    os.Close(fd);
    return err;
}

int WriteInPlace(const std::string& path, const char* data, std::size_t size, const struct timespec* mtime) {
    PosixCalls& os = PosixCalls::Current();
    const int fd = os.Open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | (mtime ? O_NOFOLLOW | O_NONBLOCK : 0), 0);
    if (fd < 0) return errno;
    auto failed = [&](int err) {
        os.Close(fd);
        return err;
    };
    if (const int err = Reserve(fd, size)) return failed(err);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = os.Write(fd, data + done, size - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return failed(errno);
        if (wrote == 0) return failed(ENOSPC);
        done += static_cast<std::size_t>(wrote);
    }
    if (os.Ftruncate(fd, static_cast<off_t>(size)) != 0) return failed(errno);
    if (mtime) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, *mtime};
        if (os.Futimens(fd, times) != 0) return failed(errno);
    }
    if (os.Fsync(fd) != 0) return failed(errno);
    if (os.Close(fd) != 0) return errno;
    return 0;
}
