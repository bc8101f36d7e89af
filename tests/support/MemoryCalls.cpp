#include "support/MemoryCalls.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

MemoryCalls::MemoryCalls(std::string cwd) : m_cwd(Normal(cwd)), m_previous(PosixCalls::Replace(this)) {
    m_folders.insert("/");
    AddFolder(m_cwd);
}

MemoryCalls::~MemoryCalls() { PosixCalls::Replace(m_previous); }

std::string MemoryCalls::Normal(const std::string& path) {
    std::string out = path;
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::string MemoryCalls::Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void MemoryCalls::AddFolder(const std::string& path) {
    // Every folder on the way exists too.
    for (std::string folder = Normal(path); m_folders.insert(folder).second && folder != "/";) folder = Parent(folder);
}

void MemoryCalls::SetFile(const std::string& path, std::string bytes) {
    AddFolder(Parent(Normal(path)));
    m_files[Normal(path)].bytes = std::move(bytes);
}

bool MemoryCalls::HasFile(const std::string& path) const { return m_files.count(Normal(path)) != 0; }

const std::string& MemoryCalls::File(const std::string& path) const { return m_files.at(Normal(path)).bytes; }

std::set<std::string> MemoryCalls::FileNames() const {
    std::set<std::string> names;
    for (const auto& file : m_files) names.insert(file.first);
    return names;
}

bool MemoryCalls::IsFolder(const std::string& path) const {
    return m_folders.count(path) != 0 || (path == "." && !m_cwd.empty());
}

std::size_t MemoryCalls::UsedBytes() const {
    std::size_t used = 0;
    for (const auto& file : m_files) used += file.second.bytes.size();
    return used;
}

int MemoryCalls::Error(int err) {
    errno = err;
    return -1;
}

void MemoryCalls::ReleaseLocks(int fd) {
    for (auto& file : m_files)
        if (file.second.lockedBy == fd) file.second.lockedBy = -1;
}

int MemoryCalls::Open(const char* rawPath, int flags, mode_t mode) {
    const std::string path = Normal(std::string(rawPath) == "." ? m_cwd : rawPath);
    const int access = flags & O_ACCMODE;
    Descriptor descriptor;
    descriptor.path = path;
    descriptor.readable = access == O_RDONLY || access == O_RDWR;
    descriptor.writable = access == O_WRONLY || access == O_RDWR;

    if (IsFolder(path)) {
        if (descriptor.writable) return Error(EISDIR);
        descriptor.folder = true;
    } else {
        if (flags & O_DIRECTORY) return Error(m_files.count(path) ? ENOTDIR : ENOENT);
        auto file = m_files.find(path);
        if (file == m_files.end()) {
            if (!(flags & O_CREAT)) return Error(ENOENT);
            if (!IsFolder(Parent(path))) return Error(m_files.count(Parent(path)) ? ENOTDIR : ENOENT);
            file = m_files.emplace(path, Node{}).first;
            file->second.mode = mode & 0777;
        } else if ((flags & O_CREAT) && (flags & O_EXCL)) {
            return Error(EEXIST);
        }
        if ((flags & O_TRUNC) && descriptor.writable) file->second.bytes.clear();
    }
    const int fd = m_nextFd++;
    m_open.emplace(fd, descriptor);
    return fd;
}

int MemoryCalls::Flock(int fd, int operation) {
    const auto descriptor = m_open.find(fd);
    if (descriptor == m_open.end()) return Error(EBADF);
    const auto file = m_files.find(descriptor->second.path);
    if (file == m_files.end()) return 0;
    if (operation & LOCK_UN) {
        if (file->second.lockedBy == fd) file->second.lockedBy = -1;
        return 0;
    }
    if (file->second.lockedBy != -1 && file->second.lockedBy != fd) return Error(EWOULDBLOCK);
    file->second.lockedBy = fd;
    return 0;
}

int MemoryCalls::Fstat(int fd, struct stat* st) {
    const auto descriptor = m_open.find(fd);
    if (descriptor == m_open.end()) return Error(EBADF);
    return Stat(descriptor->second.path.c_str(), st);
}

int MemoryCalls::Stat(const char* rawPath, struct stat* st) {
    const std::string path = Normal(std::string(rawPath) == "." ? m_cwd : rawPath);
    std::memset(st, 0, sizeof *st);
    if (IsFolder(path)) {
        st->st_mode = S_IFDIR | 0755;
        return 0;
    }
    const auto file = m_files.find(path);
    if (file == m_files.end()) return Error(ENOENT);
    st->st_mode = S_IFREG | file->second.mode;
    st->st_size = static_cast<off_t>(file->second.bytes.size());
    return 0;
}

int MemoryCalls::ReadFolder(const char* rawPath, std::vector<std::string>& names) {
    const std::string path = Normal(std::string(rawPath) == "." ? m_cwd : rawPath);
    if (!IsFolder(path)) return m_files.count(path) ? ENOTDIR : ENOENT;
    for (const std::string& folder : m_folders)
        if (folder != path && Parent(folder) == path) names.push_back(folder.substr(folder.rfind('/') + 1));
    for (const auto& file : m_files)
        if (Parent(file.first) == path) names.push_back(file.first.substr(file.first.rfind('/') + 1));
    return 0;
}

ssize_t MemoryCalls::Read(int fd, void* buf, size_t count) {
    const auto descriptor = m_open.find(fd);
    if (descriptor == m_open.end() || !descriptor->second.readable) return Error(EBADF);
    if (descriptor->second.folder) return Error(EISDIR);
    const auto file = m_files.find(descriptor->second.path);
    if (file == m_files.end()) return 0;  // unlinked while open: reads as empty
    const std::string& bytes = file->second.bytes;
    std::size_t& offset = descriptor->second.offset;
    const std::size_t got = offset >= bytes.size() ? 0 : std::min(count, bytes.size() - offset);
    std::memcpy(buf, bytes.data() + offset, got);
    offset += got;
    return static_cast<ssize_t>(got);
}

ssize_t MemoryCalls::Write(int fd, const void* buf, size_t count) {
    const auto descriptor = m_open.find(fd);
    if (descriptor == m_open.end() || !descriptor->second.writable) return Error(EBADF);
    const auto file = m_files.find(descriptor->second.path);
    if (file == m_files.end()) return Error(EBADF);
    std::string& bytes = file->second.bytes;
    std::size_t& offset = descriptor->second.offset;
    const std::size_t used = UsedBytes();
    const std::size_t room = used >= m_capacity ? 0 : m_capacity - used;
    const std::size_t grows = offset + count > bytes.size() ? offset + count - bytes.size() : 0;
    std::size_t put = count;
    if (grows > room) {
        put = count - (grows - room);
        if (put == 0) return Error(ENOSPC);
    }
    if (offset == bytes.size()) {
        bytes.append(static_cast<const char*>(buf), put);  // no zero fill before the copy
    } else {
        if (offset + put > bytes.size()) bytes.resize(offset + put);
        std::memcpy(&bytes[offset], buf, put);
    }
    offset += put;
    return static_cast<ssize_t>(put);
}

int MemoryCalls::Fsync(int fd) {
    return m_open.count(fd) ? 0 : Error(EBADF);
}

int MemoryCalls::SyncFileRange(int fd) { return m_open.count(fd) ? 0 : EBADF; }

int MemoryCalls::Fchmod(int fd, mode_t mode) {
    const auto descriptor = m_open.find(fd);
    if (descriptor == m_open.end()) return Error(EBADF);
    const auto file = m_files.find(descriptor->second.path);
    if (file != m_files.end()) file->second.mode = mode & 07777;
    return 0;
}

int MemoryCalls::Close(int fd) {
    const auto descriptor = m_open.find(fd);
    if (descriptor == m_open.end()) return Error(EBADF);
    ReleaseLocks(fd);
    m_open.erase(descriptor);
    // POSIX: the descriptor is released even when close reports a failure.
    return 0;
}

int MemoryCalls::Rename(const char* rawFrom, const char* rawTo) {
    const std::string from = Normal(rawFrom);
    const std::string to = Normal(rawTo);
    const auto file = m_files.find(from);
    if (file == m_files.end()) return Error(ENOENT);
    if (IsFolder(to)) return Error(EISDIR);
    if (!IsFolder(Parent(to))) return Error(ENOENT);
    if (from == to) return 0;
    Node node = std::move(file->second);
    m_files.erase(file);
    m_files[to] = std::move(node);
    // Descriptors open on the moved file follow it.
    for (auto& open : m_open)
        if (open.second.path == from) open.second.path = to;
    return 0;
}

int MemoryCalls::Unlink(const char* rawPath) {
    const std::string path = Normal(rawPath);
    if (IsFolder(path)) return Error(EISDIR);
    return m_files.erase(path) ? 0 : Error(ENOENT);
}

char* MemoryCalls::Getcwd(char* buf, size_t size) {
    if (m_cwd.size() + 1 > size) {
        errno = ERANGE;
        return nullptr;
    }
    std::memcpy(buf, m_cwd.c_str(), m_cwd.size() + 1);
    return buf;
}

int MemoryCalls::Mkdir(const char* rawPath, mode_t) {
    const std::string path = Normal(rawPath);
    if (IsFolder(path) || m_files.count(path)) return Error(EEXIST);
    if (!IsFolder(Parent(path))) return Error(ENOENT);
    m_folders.insert(path);
    return 0;
}
