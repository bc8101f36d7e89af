#pragma once
// Every POSIX call of the core goes through here, so that tests can fail any of them; the calls
// are the rows of PosixCalls.inc.
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <string>
#include <vector>

class PosixCalls {
public:
    virtual ~PosixCalls() = default;
#define QUORVEL_POSIX_CALL(name, result, parameters, arguments, shape, failed) virtual result name parameters;
#include "platform/posix/PosixCalls.inc"
#undef QUORVEL_POSIX_CALL

    // For a signal handler, which may neither lock nor allocate nor reach calls a test replaced:
    // removes the file, then ends the program as the signal would have.
    static void UnlinkInHandler(const char* path);
    static void DieOfSignal(int signal);

    static PosixCalls& Current();
    // Installs calls (nullptr: the real ones again); returns the previous.
    static PosixCalls* Replace(PosixCalls* calls);
};
