#include "FailingPosixCalls.h"

#include <cerrno>
#include <cstring>
#include <string>

FailingPosixCalls::FailingPosixCalls() : m_previous(PosixCalls::Replace(this)) {}
FailingPosixCalls::~FailingPosixCalls() { PosixCalls::Replace(m_previous); }

PosixCalls& FailingPosixCalls::Below() {
    static PosixCalls system;
    return m_previous ? *m_previous : system;
}

const std::vector<FailingPosixCalls::Call>& FailingPosixCalls::AllCalls() {
    static const std::vector<Call> calls = {
#define QUORVEL_POSIX_CALL(name, result, parameters, arguments, shape, failed) Call::name,
#include "platform/posix/PosixCalls.inc"
#undef QUORVEL_POSIX_CALL
    };
    return calls;
}

bool FailingPosixCalls::CanFail(Call call) {
    static const bool fails[] = {
#define QUORVEL_POSIX_CALL(name, result, parameters, arguments, shape, failed) #shape[0] != 'S',
#include "platform/posix/PosixCalls.inc"
#undef QUORVEL_POSIX_CALL
    };
    return fails[static_cast<std::size_t>(call)];
}

const char* FailingPosixCalls::Name(Call call) {
    static const char* const names[] = {
#define QUORVEL_POSIX_CALL(name, result, parameters, arguments, shape, failed) #name,
#include "platform/posix/PosixCalls.inc"
#undef QUORVEL_POSIX_CALL
    };
    const auto i = static_cast<std::size_t>(call);
    return i < sizeof names / sizeof names[0] ? names[i] : "?";
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

const FailingPosixCalls::Rule* FailingPosixCalls::Next(Call call) {
    const int n = ++m_counts[static_cast<std::size_t>(call)];
    for (const Rule& rule : m_rules) {
        if (rule.call == call && (n == rule.nth || (rule.andLater && n > rule.nth))) return &rule;
    }
    return nullptr;
}

int FailingPosixCalls::OpenFailure(const char* path) const {
    for (const auto& failure : m_openFailures)
        if (std::string(path).find(failure.first) != std::string::npos) return failure.second;
    return 0;
}

// What a failing call of each shape does before the call below would run.
#define QUORVEL_FAILS_ERRNO(name, arguments, failed) \
    if (rule && rule->err != 0) {                    \
        errno = rule->err;                           \
        return failed;                               \
    }
#define QUORVEL_FAILS_OPENS(name, arguments, failed) \
    QUORVEL_FAILS_ERRNO(name, arguments, failed)     \
    if (const int err = OpenFailure(path)) {         \
        errno = err;                                 \
        return failed;                               \
    }
#define QUORVEL_FAILS_TRANSFERS(name, arguments, failed) \
    QUORVEL_FAILS_ERRNO(name, arguments, failed)         \
    if (rule && rule->limit < count) count = rule->limit;
#define QUORVEL_FAILS_RELEASES(name, arguments, failed) \
    if (rule && rule->err != 0) {                       \
        Below().name arguments;                         \
        errno = rule->err;                              \
        return failed;                                  \
    }
#define QUORVEL_FAILS_RETURNS(name, arguments, failed) \
    if (rule && rule->err != 0) return rule->err;
#define QUORVEL_FAILS_LOADER(name, arguments, failed) \
    if (rule && rule->err != 0) {                     \
        reason = std::strerror(rule->err);            \
        return failed;                                \
    }
#define QUORVEL_FAILS_SURE(name, arguments, failed) (void)rule;

#define QUORVEL_POSIX_CALL(name, result, parameters, arguments, shape, failed)        \
    result FailingPosixCalls::name parameters {                                       \
        const Rule* rule = Next(Call::name);                                          \
        QUORVEL_FAILS_##shape(name, arguments, failed) return Below().name arguments; \
    }
#include "platform/posix/PosixCalls.inc"
#undef QUORVEL_POSIX_CALL
