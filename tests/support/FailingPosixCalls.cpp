#include "FailingPosixCalls.h"

#include <cerrno>
#include <string>

FailingPosixCalls::FailingPosixCalls() : m_previous(PosixCalls::Replace(this)) {}
FailingPosixCalls::~FailingPosixCalls() { PosixCalls::Replace(m_previous); }

PosixCalls& FailingPosixCalls::Below() {
    static PosixCalls system;
    return m_previous ? *m_previous : system;
}

FailingPosixCalls& FailingPosixCalls::Fail(Call call, int nth, int err, bool andLater) {
    m_rules.push_back({call, nth, err, andLater, 0});
    return *this;
}

FailingPosixCalls& FailingPosixCalls::Short(Call call, int nth, std::size_t bytes) {
    m_rules.push_back({call, nth, 0, false, bytes});
    return *this;
}

FailingPosixCalls& FailingPosixCalls::FailOpenOf(const char* fragment, int err) {
    m_openFailures.emplace_back(fragment, err);
    return *this;
}

const char* FailingPosixCalls::Name(Call call) {
    static const char* const names[] = {"Open", "Flock", "Fstat", "Stat", "Read", "Write",
                                        "Fsync", "Fchmod", "Close", "Rename", "Unlink", "Getcwd", "Fallocate", "Ftruncate", "ReadFolder", "SyncFileRange"};
    const auto i = static_cast<std::size_t>(call);
    return i < sizeof names / sizeof names[0] ? names[i] : "?";
}

const FailingPosixCalls::Rule* FailingPosixCalls::Next(Call call) {
    const int n = ++m_counts[static_cast<std::size_t>(call)];
    for (const Rule& rule : m_rules) {
        if (rule.call == call && (n == rule.nth || (rule.andLater && n > rule.nth))) return &rule;
    }
    return nullptr;
}

// Fails the call when its rule holds an errno; otherwise the real call runs.
#define QV_FAIL_OR(call, failValue)      \
    if (const Rule* rule = Next(call)) { \
        if (rule->err != 0) {            \
            errno = rule->err;           \
            return failValue;            \
        }                                \
    }

int FailingPosixCalls::Open(const char* path, int flags, mode_t mode) {
    QV_FAIL_OR(Call::Open, -1)
    for (const auto& failure : m_openFailures) {
        if (std::string(path).find(failure.first) != std::string::npos) {
            errno = failure.second;
            return -1;
        }
    }
    return Below().Open(path, flags, mode);
}

int FailingPosixCalls::Flock(int fd, int operation) {
    QV_FAIL_OR(Call::Flock, -1)
    return Below().Flock(fd, operation);
}

int FailingPosixCalls::Fstat(int fd, struct stat* st) {
    QV_FAIL_OR(Call::Fstat, -1)
    return Below().Fstat(fd, st);
}

int FailingPosixCalls::Stat(const char* path, struct stat* st) {
    QV_FAIL_OR(Call::Stat, -1)
    return Below().Stat(path, st);
}

ssize_t FailingPosixCalls::Read(int fd, void* buf, size_t count) {
    if (const Rule* rule = Next(Call::Read)) {
        if (rule->err != 0) {
            errno = rule->err;
            return -1;
        }
        if (rule->limit < count) count = rule->limit;
    }
    return Below().Read(fd, buf, count);
}

ssize_t FailingPosixCalls::Write(int fd, const void* buf, size_t count) {
    if (const Rule* rule = Next(Call::Write)) {
        if (rule->err != 0) {
            errno = rule->err;
            return -1;
        }
        if (rule->limit < count) count = rule->limit;
    }
    return Below().Write(fd, buf, count);
}

int FailingPosixCalls::Fsync(int fd) {
    QV_FAIL_OR(Call::Fsync, -1)
    return Below().Fsync(fd);
}

int FailingPosixCalls::Fchmod(int fd, mode_t mode) {
    QV_FAIL_OR(Call::Fchmod, -1)
    return Below().Fchmod(fd, mode);
}

int FailingPosixCalls::Close(int fd) {
    if (const Rule* rule = Next(Call::Close)) {
        if (rule->err != 0) {
            Below().Close(fd);
            errno = rule->err;
            return -1;
        }
    }
    return Below().Close(fd);
}

int FailingPosixCalls::Rename(const char* from, const char* to) {
    QV_FAIL_OR(Call::Rename, -1)
    return Below().Rename(from, to);
}

int FailingPosixCalls::Unlink(const char* path) {
    QV_FAIL_OR(Call::Unlink, -1)
    return Below().Unlink(path);
}

char* FailingPosixCalls::Getcwd(char* buf, size_t size) {
    QV_FAIL_OR(Call::Getcwd, nullptr)
    return Below().Getcwd(buf, size);
}

int FailingPosixCalls::Fallocate(int fd, off_t offset, off_t length) {
    if (const Rule* rule = Next(Call::Fallocate)) {
        if (rule->err != 0) return rule->err;
    }
    return Below().Fallocate(fd, offset, length);
}

int FailingPosixCalls::SyncFileRange(int fd) {
    if (const Rule* rule = Next(Call::SyncFileRange)) {
        if (rule->err != 0) return rule->err;
    }
    return Below().SyncFileRange(fd);
}

int FailingPosixCalls::Ftruncate(int fd, off_t length) {
    QV_FAIL_OR(Call::Ftruncate, -1)
    return Below().Ftruncate(fd, length);
}

int FailingPosixCalls::ReadFolder(const char* path, std::vector<std::string>& names) {
    if (const Rule* rule = Next(Call::ReadFolder))
        if (rule->err != 0) return rule->err;
    return Below().ReadFolder(path, names);
}
