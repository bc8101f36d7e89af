#include "platform/posix/TempFiles.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/HostSystem.h"

namespace {
// Fixed slots: a signal handler may neither allocate nor lock.
constexpr int kSlots = 4096;
std::atomic<const char*> g_slots[kSlots];

extern "C" void RemoveAndDie(int signal) {
    for (auto& slot : g_slots) {
        const char* path = slot.load();
        if (path) ::unlink(path);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}
}  // namespace

void RegisterTempFile(const char* path) {
    for (auto& slot : g_slots) {
        const char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, path)) return;
    }
}

void ForgetTempFile(const char* path) {
    for (auto& slot : g_slots) {
        const char* expected = path;
        if (slot.compare_exchange_strong(expected, nullptr)) return;
    }
}

void RemoveTempFilesOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = RemoveAndDie;
        sigemptyset(&action.sa_mask);
        // A signal the caller's parent chose to ignore stays ignored.
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}
