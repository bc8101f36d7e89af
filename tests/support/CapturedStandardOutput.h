#pragma once
// Standard output kept in memory: the seam's writes to it collected, every other call the one
// installed before. Installed for its lifetime; a FailingPosixCalls made after it fails its calls.
#include <string>

#include "platform/posix/PosixCalls.h"

class CapturedStandardOutput : public PosixCalls {
public:
    CapturedStandardOutput() : m_previous(PosixCalls::Replace(this)) {}
    ~CapturedStandardOutput() override { PosixCalls::Replace(m_previous); }
    CapturedStandardOutput(const CapturedStandardOutput&) = delete;
    CapturedStandardOutput& operator=(const CapturedStandardOutput&) = delete;

    ssize_t WriteStandardOutput(const void* buf, size_t count) override {
        bytes.append(static_cast<const char*>(buf), count);
        ++calls;
        return static_cast<ssize_t>(count);
    }

    std::string bytes;
    int calls = 0;

private:
    PosixCalls* m_previous;
};
