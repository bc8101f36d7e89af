#include "platform/posix/TempFiles.h"

#include <fcntl.h>
#include <signal.h>

#include <atomic>
#include <cstring>

#include "platform/HostSystem.h"
#include "platform/posix/PosixCalls.h"

namespace {
// Blocks of slots chained as they are needed: a signal handler may neither allocate nor lock, so
// it only walks blocks that are complete before they are linked in, and a block is never freed.
constexpr int kSlotsPerBlock = 1024;
struct Block {
    std::atomic<const char*> slots[kSlotsPerBlock];
    std::atomic<Block*> next{nullptr};
};
Block g_first;
// Registration and removal happen on the program's thread; the first block with a free slot.
Block* g_hint = &g_first;

extern "C" void RemoveAndDie(int signal) {
    for (Block* block = &g_first; block; block = block->next.load()) {
        for (auto& slot : block->slots) {
            const char* path = slot.load();
            if (path) PosixCalls::UnlinkInHandler(path);
        }
    }
    PosixCalls::DieOfSignal(signal);
}

bool TakeSlot(Block& block, const char* path) {
    for (auto& slot : block.slots) {
        const char* empty = nullptr;
        if (slot.load() == nullptr && slot.compare_exchange_strong(empty, path)) return true;
    }
    return false;
}
}  // namespace

void RegisterTempFile(const char* path) {
    for (Block* block = g_hint;; block = block->next.load()) {
        if (TakeSlot(*block, path)) {
            g_hint = block;
            return;
        }
        if (!block->next.load()) {
            Block* added = new Block();  // lives as long as the program: the handler may read it
            added->slots[0].store(path);
            block->next.store(added);
            g_hint = added;
            return;
        }
    }
}

void ForgetTempFile(const char* path) {
    for (Block* block = &g_first; block; block = block->next.load()) {
        for (auto& slot : block->slots) {
            const char* expected = path;
            if (slot.compare_exchange_strong(expected, nullptr)) {
                // A block before the hint has a free slot again.
                for (Block* at = &g_first; at != g_hint; at = at->next.load())
                    if (at == block) {
                        g_hint = block;
                        break;
                    }
                return;
            }
        }
    }
}

void RemoveTempFilesOnSignals() {
    PosixCalls& os = PosixCalls::Current();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = RemoveAndDie;
        sigemptyset(&action.sa_mask);
        // The handler runs once: any other of the three waits until the files are gone.
        sigaddset(&action.sa_mask, SIGINT);
        sigaddset(&action.sa_mask, SIGTERM);
        sigaddset(&action.sa_mask, SIGHUP);
        // A signal the caller's parent chose to ignore stays ignored.
        struct sigaction previous {};
        if (os.Sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        os.Sigaction(signal, &action, nullptr);
    }
}

static_assert(sizeof(sigset_t) <= 256, "room for a signal mask");

CommitSignalsBlocked::CommitSignalsBlocked() {
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGHUP);
    sigset_t saved;
    sigemptyset(&saved);
    PosixCalls::Current().SignalMask(SIG_BLOCK, &block, &saved);
    std::memcpy(m_saved, &saved, sizeof saved);
}

CommitSignalsBlocked::~CommitSignalsBlocked() {
    sigset_t saved;
    std::memcpy(&saved, m_saved, sizeof saved);
    PosixCalls::Current().SignalMask(SIG_SETMASK, &saved, nullptr);
}

int CreateRegisteredFile(std::string& name, int attempts, const std::function<std::string()>& nextName, int extraFlags,
                         unsigned mode) {
    PosixCalls& os = PosixCalls::Current();
    int err = EEXIST;
    for (int attempt = 0; attempt < attempts && err == EEXIST; ++attempt) {
        name = nextName();
        RegisterTempFile(name.c_str());
        const int fd = os.Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | extraFlags, static_cast<mode_t>(mode));
        if (fd >= 0) return fd;
        err = errno;
        ForgetTempFile(name.c_str());
    }
    name.clear();
    errno = err;
    return -1;
}
