#pragma once
// The POSIX calls of the core with chosen calls failing: the n-th call of a kind fails with a given
// errno, or transfers fewer bytes than asked. Installed for its lifetime, over the calls installed
// before it (the system's, or MemoryCalls' file system in memory). Counting every call of each
// kind lets fault sweeps first run clean, then fail each call in turn. Made from the rows of
// PosixCalls.inc: a call added there is counted and failed here too.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/PosixCalls.h"

class FailingPosixCalls : public PosixCalls {
public:
    enum class Call {
#define QUORVEL_POSIX_CALL(name, result, parameters, arguments, shape, failed) name,
#include "platform/posix/PosixCalls.inc"
#undef QUORVEL_POSIX_CALL
        kCount
    };
    // Every call, in the order of the list.
    static const std::vector<Call>& AllCalls();
    // False for a call that cannot fail (it is counted only).
    static bool CanFail(Call call);

    FailingPosixCalls();
    ~FailingPosixCalls() override;
    FailingPosixCalls(const FailingPosixCalls&) = delete;
    FailingPosixCalls& operator=(const FailingPosixCalls&) = delete;

    // The nth (from 1) call of the kind fails with err; with andLater, every later one as well.
    // Each fails as its real call does (PosixCalls.inc): a failing Close still releases the
    // descriptor, a failing Dlopen gives the error's text as the loader's words.
    FailingPosixCalls& Fail(Call call, int nth, int err, bool andLater = false);
    // The nth Read or Write moves at most bytes bytes (a short transfer, no error).
    FailingPosixCalls& Short(Call call, int nth, std::size_t bytes);
    // Open fails with err for every path that contains fragment (after the counted rules).
    FailingPosixCalls& FailOpenOf(const char* fragment, int err);

    int Count(Call call) const { return m_counts[static_cast<std::size_t>(call)]; }
    static const char* Name(Call call);

#define QUORVEL_POSIX_CALL(name, result, parameters, arguments, shape, failed) result name parameters override;
#include "platform/posix/PosixCalls.inc"
#undef QUORVEL_POSIX_CALL

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
    // The error Open fails with for path by FailOpenOf, or 0.
    int OpenFailure(const char* path) const;

    std::vector<Rule> m_rules;
    std::vector<std::pair<std::string, int>> m_openFailures;
    int m_counts[static_cast<std::size_t>(Call::kCount)] = {};
    PosixCalls* m_previous;
};
