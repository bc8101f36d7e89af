#include "support/SetFiles.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "platform/HostSystem.h"

#include "platform/CFileException.h"
#include "platform/OutputSet.h"

std::string RecordNames(const std::string& bytes) {
    std::vector<std::string> fields;
    for (std::size_t from = 0, end; (end = bytes.find('\0', from)) != std::string::npos; from = end + 1)
        fields.push_back(bytes.substr(from, end - from));
    std::string names = "record:";
    for (std::size_t i = 1; i + 6 <= fields.size(); i += 6) names += " " + fields[i];
    return names;
}

void CommitSet(const TempDir& dir, const std::map<std::string, std::string>& members) {
    OutputSet set(CString(dir.File("set.xml")));
    for (const auto& member : members) {
        CSaveFile& file = set.Add(CString(dir.File(member.first)));
        file.Write(member.second.data(), static_cast<unsigned>(member.second.size()));
        set.Finish(file);
    }
    set.Commit();
}

std::string WriteSet(const TempDir& dir, const std::map<std::string, std::string>& members) {
    try {
        CommitSet(dir, members);
    } catch (const CFileException& e) {
        return std::to_string(e.m_cause) + " " + std::to_string(e.m_lOsError) + " " + e.m_strFileName.Str();
    }
    return "";
}

std::string StateFile(const std::string& folder, const std::string& setName, const std::string& suffix) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) return std::string();
    // Made as the writer makes it, so that a test may plant a file there before any run.
    std::error_code ignored;
    std::filesystem::create_directories(UserStateFolder().Str(), ignored);
    return UserStateFolder().Str() + "/" +
           OutputSet::StateKey(static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino), setName) + suffix;
}
