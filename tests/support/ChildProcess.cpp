#include "ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {
constexpr uid_t kNobody = 65534;

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string ReadAll(int fd) {
    std::string bytes;
    char chunk[512];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
}

int WaitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
}  // namespace

std::string RunInUnprivilegedChild(const std::function<std::string()>& body) {
    int result[2];
    if (pipe(result) != 0) return "child failed: pipe";
    const pid_t child = fork();
    if (child < 0) {
        close(result[0]);
        close(result[1]);
        return "child failed: fork";
    }
    if (child == 0) {
        close(result[0]);
        if (geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
                setresuid(kNobody, kNobody, kNobody) != 0)
                _exit(3);
        }
        std::string text;
        try {
            text = body();
        } catch (...) {
            _exit(4);
        }
        _exit(WriteAll(result[1], text) ? 0 : 5);
    }
    close(result[1]);
    std::string text = ReadAll(result[0]);
    close(result[0]);
    const int code = WaitFor(child);
    if (code != 0) return "child failed: exit " + std::to_string(code);
    return text;
}

LockHolder::LockHolder(const std::string& path) {
    int ready[2];
    int release[2];
    if (pipe(ready) != 0) return;
    if (pipe(release) != 0) {
        close(ready[0]);
        close(ready[1]);
        return;
    }
    m_child = fork();
    if (m_child == 0) {
        // Inherited descriptors would hold the parent's locks for as long as the child lives.
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != ready[1] && fd != release[0]) close(fd);
        }
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const char answer = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        if (write(ready[1], &answer, 1) != 1) _exit(1);
        char ignored;
        while (read(release[0], &ignored, 1) < 0 && errno == EINTR) {
        }
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    m_release = release[1];
    char answer = 'n';
    if (m_child > 0 && read(ready[0], &answer, 1) == 1) m_holding = answer == 'y';
    close(ready[0]);
}

LockHolder::~LockHolder() {
    if (m_release >= 0) close(m_release);
    if (m_child > 0) WaitFor(m_child);
}
