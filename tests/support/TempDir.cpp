#include "TempDir.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {
// Every test program keeps the state of its output sets in a folder of its own, so that no test
// reads or writes the state folder of the user who runs it; the programs it starts inherit it.
struct StateFolderForTests {
    std::string path;
    pid_t owner = 0;
    StateFolderForTests() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/quorvel-state-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) return;
        path = pattern;
        owner = getpid();
        setenv("XDG_STATE_HOME", path.c_str(), 1);
    }
    ~StateFolderForTests() {
        std::error_code ignored;
        if (!path.empty() && getpid() == owner) std::filesystem::remove_all(path, ignored);
    }
};
StateFolderForTests g_stateFolder;
}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quorvel-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> TempDir::List() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListWithoutRecords(const TempDir& dir) {
    std::vector<std::string> names;
    const std::string record = ".record";
    for (const std::string& name : dir.List())
        if (name[0] != '.' || name.size() < record.size() ||
            name.compare(name.size() - record.size(), record.size(), record) != 0)
            names.push_back(name);
    return names;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
