#include "platform/StandardOutput.h"

#include <cerrno>

#include "platform/posix/PosixCalls.h"

bool StandardOutput::SendSome(const char* bytes, std::size_t count, std::size_t& taken, long& osError) {
    for (;;) {
        const ssize_t wrote = PosixCalls::Current().WriteStandardOutput(bytes, count);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) {
            osError = errno;
            return false;
        }
        taken = static_cast<std::size_t>(wrote);
        return true;
    }
}
