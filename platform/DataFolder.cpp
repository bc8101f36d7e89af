#include "platform/DataFolder.h"

#include "platform/HostSystem.h"

DataFolder DataFolder::FromEnvironment() { return DataFolder(EnvironmentText("QUORVEL_DATA_DIR").Str()); }

std::string DataFolder::PathOf(const std::string& name) const {
    if (!m_strChosen.empty()) return m_strChosen + "/" + name;
    const auto exists = [](const std::string& path) { return IsRegularFile(CString(path)); };
    // Beside the program wherever it was put (the Windows program's folder, a moved install).
    const CString program = ProgramFolder();
    const std::string travelling = program.IsEmpty() ? std::string() : program.Str() + QUORVEL_PROGRAM_DATA_DIR + name;
    if (!travelling.empty() && exists(travelling)) return travelling;
#ifdef QUORVEL_INSTALL_DATA_DIR
    const std::string installed = std::string(QUORVEL_INSTALL_DATA_DIR) + "/" + name;
    if (exists(installed)) return installed;
    const std::string built = std::string(QUORVEL_BUILD_DATA_DIR) + "/" + name;
    return exists(built) ? built : installed;
#else
    // The Windows build keeps its data beside the program, in the build folder as in the zip.
    return travelling;
#endif
}
