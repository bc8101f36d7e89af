#pragma once
// A fresh folder under $TMPDIR for one test, removed with everything in it.
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Names in the folder, sorted, without "." and "..".
    std::vector<std::string> List() const;

private:
    std::string m_path;
};

// The folder's names without the records output sets keep beside themselves (".NAME.record").
std::vector<std::string> ListWithoutRecords(const TempDir& dir);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
