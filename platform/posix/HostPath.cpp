#include "platform/posix/HostPath.h"

#include "platform/posix/PosixCalls.h"

std::string FullPath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    char cwd[4096];
    if (PosixCalls::Current().Getcwd(cwd, sizeof cwd) == nullptr) return name;
    std::string full(cwd);
    if (full.empty() || full.back() != '/') full += '/';
    return full + name;
}

std::string FolderPrefix(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderToOpen(const std::string& prefix) { return prefix.empty() ? std::string(".") : prefix; }
