#pragma once
// Reading and writing one format of the table from and to bytes, for the formats' tests.
#include <string>
#include <vector>

#include "maps/FormatRegistry.h"
#include "maps/Place.h"
#include "platform/CFile.h"
#include "support/TempDir.h"

inline MapReadResult ReadAs(const char* format, std::string bytes, const std::string& fileName,
                            const ReadOptions& options = {}) {
    return FormatRegistry::Find(format)->read(std::move(bytes), fileName, options);
}

inline std::string WriteAs(const char* format, const std::vector<Place>& places, const WriteOptions& options = {}) {
    TempDir dir;
    const std::string path = dir.File("document");
    {
        CFile file;
        if (!file.Open(CString(path), CFile::modeCreate | CFile::modeWrite)) return "(not opened)";
        FormatRegistry::Find(format)->write(file, places.data(), places.size(), options);
        file.Close();
    }
    return ReadFileBytes(path);
}
