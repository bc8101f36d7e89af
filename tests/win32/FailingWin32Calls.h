#pragma once
// The Win32 calls of the core with chosen calls failing: the n-th call of a kind fails with a given
// error code. Installed for its lifetime over the calls installed before. Made from the rows of
// Win32Calls.inc, so that a call added there is counted and failed here too.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32/Win32Calls.h"

class FailingWin32Calls : public Win32Calls {
public:
    enum class Call {
#define QUORVEL_WIN32_CALL(name, result, parameters, arguments, shape, failed) name,
#include "platform/win32/Win32Calls.inc"
#undef QUORVEL_WIN32_CALL
        kCount
    };

    FailingWin32Calls() : m_previous(Win32Calls::Replace(this)) {}
    ~FailingWin32Calls() override { Win32Calls::Replace(m_previous); }
    FailingWin32Calls(const FailingWin32Calls&) = delete;
    FailingWin32Calls& operator=(const FailingWin32Calls&) = delete;

    static std::vector<Call> AllCalls() {
        return {
#define QUORVEL_WIN32_CALL(name, result, parameters, arguments, shape, failed) Call::name,
#include "platform/win32/Win32Calls.inc"
#undef QUORVEL_WIN32_CALL
        };
    }
    // False for a call that cannot fail (it is counted only).
    static bool CanFail(Call call) {
        static const bool fails[] = {
#define QUORVEL_WIN32_CALL(name, result, parameters, arguments, shape, failed) #shape[0] != 'S',
#include "platform/win32/Win32Calls.inc"
#undef QUORVEL_WIN32_CALL
        };
        return fails[static_cast<std::size_t>(call)];
    }
    static const char* Name(Call call) {
        static const char* const names[] = {
#define QUORVEL_WIN32_CALL(name, result, parameters, arguments, shape, failed) #name,
#include "platform/win32/Win32Calls.inc"
#undef QUORVEL_WIN32_CALL
        };
        return names[static_cast<std::size_t>(call)];
    }

    // The nth (from 1) call of the kind fails with error, as the real call fails.
    FailingWin32Calls& Fail(Call call, int nth, DWORD error) {
        m_call = call;
        m_nth = nth;
        m_error = error;
        return *this;
    }
    int Count(Call call) const { return m_counts[static_cast<std::size_t>(call)]; }

// What a failing call of each shape does before the call below would run.
#define QUORVEL_FAILS_LASTERROR(name, arguments, failed) \
    if (failing) {                                       \
        ::SetLastError(m_error);                         \
        return failed;                                   \
    }
#define QUORVEL_FAILS_TRANSFERS(name, arguments, failed) QUORVEL_FAILS_LASTERROR(name, arguments, failed)
#define QUORVEL_FAILS_RELEASES(name, arguments, failed) \
    if (failing) {                                      \
        Below().name arguments;                         \
        ::SetLastError(m_error);                        \
        return failed;                                  \
    }
#define QUORVEL_FAILS_RETURNS(name, arguments, failed) \
    if (failing) return m_error;
#define QUORVEL_FAILS_SURE(name, arguments, failed) (void)failing;
#define QUORVEL_WIN32_CALL(name, result, parameters, arguments, shape, failed)        \
    result name parameters override {                                                 \
        const bool failing = Next(Call::name);                                        \
        QUORVEL_FAILS_##shape(name, arguments, failed) return Below().name arguments; \
    }
#include "platform/win32/Win32Calls.inc"
#undef QUORVEL_WIN32_CALL
#undef QUORVEL_FAILS_LASTERROR
#undef QUORVEL_FAILS_TRANSFERS
#undef QUORVEL_FAILS_RELEASES
#undef QUORVEL_FAILS_RETURNS
#undef QUORVEL_FAILS_SURE

protected:
    Win32Calls& Below() {
        static Win32Calls system;
        return m_previous ? *m_previous : system;
    }

private:
    // Counts the call; true when it is the one to fail.
    bool Next(Call call) {
        const int n = ++m_counts[static_cast<std::size_t>(call)];
        return call == m_call && n == m_nth;
    }

    Call m_call = Call::kCount;
    int m_nth = 0;
    DWORD m_error = 0;
    int m_counts[static_cast<std::size_t>(Call::kCount)] = {};
    Win32Calls* m_previous;
};
