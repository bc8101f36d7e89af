#pragma once
// Running test code in another process: as an unprivileged user (tests run as root, who
// ignores permission bits), or holding a file lock the way another program would.
#include <functional>
#include <string>

#include <sys/types.h>

// Runs body in a forked child as user and group 65534 (when the test runs as root) and returns
// the text body returned; "child failed: ..." when the child could not run it to its end.
std::string RunInUnprivilegedChild(const std::function<std::string()>& body);

// A child process that holds flock(LOCK_EX) on a file until this object is destroyed.
class LockHolder {
public:
    explicit LockHolder(const std::string& path);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool Holding() const { return m_holding; }

private:
    pid_t m_child = -1;
    int m_release = -1;  // closing it tells the child to let go
    bool m_holding = false;
};
