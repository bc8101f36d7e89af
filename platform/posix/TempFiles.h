#pragma once
#include <functional>
#include <string>

// The temporary files of documents being written, known to the signal handlers so that an
// interrupted program leaves none behind. A name is registered before the file is created and
// forgotten once the file is gone or has become a document.
// Registered names must stay valid (unchanged) until they are forgotten.
void RegisterTempFile(const char* path);
void ForgetTempFile(const char* path);

// Creates a new file (O_EXCL, and extraFlags) under the names nextName gives, trying the next while
// a name is taken, at most `attempts` times; each name is registered before its file can exist.
// The descriptor with its name, or -1 with errno and an empty name.
int CreateRegisteredFile(std::string& name, int attempts, const std::function<std::string()>& nextName, int extraFlags,
                         unsigned mode);

// Blocks interrupt, termination and hang-up for its lifetime, so that a run of renames is never
// cut halfway; a signal that came meanwhile is delivered at the end.
class CommitSignalsBlocked {
public:
    CommitSignalsBlocked();
    ~CommitSignalsBlocked();
    CommitSignalsBlocked(const CommitSignalsBlocked&) = delete;
    CommitSignalsBlocked& operator=(const CommitSignalsBlocked&) = delete;

private:
    unsigned char m_saved[256];  // the previous signal mask (a sigset_t)
};
