#include "platform/HostSystem.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/posix/PosixCalls.h"

CString GetCurrentFolder() {
    char buffer[PATH_MAX];
    if (PosixCalls::Current().Getcwd(buffer, sizeof buffer) == nullptr) return CString();
    return CString(buffer);
}

CString FileIdentity(const CString& strPath) {
    const std::string& path = strPath.Str();
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/"
                                                                             : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (PosixCalls::Current().Realpath(folder.c_str(), resolved) == nullptr) return strPath;
    return CString(std::string(resolved) + "/" + name);
}

CString ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = PosixCalls::Current().Readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return CString();
    const std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? CString() : CString(program.substr(0, slash == 0 ? 1 : slash));
}

CString DocumentsFolder() {
    PosixCalls& os = PosixCalls::Current();
    const char* documents = os.Getenv("XDG_DOCUMENTS_DIR");
    if (documents && *documents == '/') return CString(documents);
    const char* home = os.Getenv("HOME");
    return home && *home == '/' ? CString(std::string(home) + "/Documents") : CString();
}

bool IsRegularFile(const CString& strPath) {
    struct stat st {};
    return PosixCalls::Current().Stat(strPath.GetString(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const CString& strPath) {
    struct stat st {};
    return PosixCalls::Current().Stat(strPath.GetString(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const CString& strPath, std::string& error) {
    if (PosixCalls::Current().Mkdir(strPath.GetString(), 0777) == 0) return true;
    error = std::strerror(errno);
    return false;
}

bool ReadStandardInput(std::string& bytes, std::string& error) {
    char buffer[65536];
    for (;;) {
        const ssize_t read = PosixCalls::Current().Read(0, buffer, sizeof buffer);
        if (read == 0) return true;
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) {
            error = std::strerror(errno);
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(read));
    }
}

CString MakeTemporaryFolder(std::string& error) {
    PosixCalls& os = PosixCalls::Current();
    const char* base = os.Getenv("TMPDIR");
    const std::string folder = base && *base ? base : "/tmp";
    std::string pattern = folder + "/quorvel-XXXXXX";
    if (os.Mkdtemp(&pattern[0]) == nullptr) {
        const int err = errno;
        error = folder + ": " + std::strerror(err);  // where it was to be made, and why not
        return CString();
    }
    return CString(pattern);
}

CString EnvironmentText(const char* name) {
    const char* value = PosixCalls::Current().Getenv(name);
    return value ? CString(value) : CString();
}

std::int64_t MonotonicMicroseconds() {
    struct timespec now {};
    if (PosixCalls::Current().ClockGettime(CLOCK_MONOTONIC, &now) != 0) return -1;
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

CString UserStateFolder() {
    PosixCalls& os = PosixCalls::Current();
    const char* state = os.Getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return CString(std::string(state) + "/quorvel");
    const char* home = os.Getenv("HOME");
    if (home && home[0] == '/') return CString(std::string(home) + "/.local/state/quorvel");
    return CString();
}

bool RemovePath(const CString& strPath, bool bFolder, std::string* pError) {
    PosixCalls& os = PosixCalls::Current();
    if ((bFolder ? os.Rmdir(strPath.GetString()) : os.Unlink(strPath.GetString())) == 0) return true;
    const int err = errno;
    if (pError) *pError = strPath.Str() + ": " + std::strerror(err);
    return false;
}

void* LoadSharedLibrary(const char* name, std::string& error) {
    return PosixCalls::Current().Dlopen(name, RTLD_NOW | RTLD_LOCAL, error);
}

void* SharedLibrarySymbol(void* library, const char* symbol, std::string& error) {
    return PosixCalls::Current().Dlsym(library, symbol, error);
}
