#pragma once
// A file's bytes, read-only, for as long as the object lives: mapped where the system maps files,
// so that a run pays only for the pages it reads, not for reading the whole file.
#include <cstddef>
#include <vector>

#include "platform/CFileException.h"
#include "platform/CString.h"

class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() noexcept;

    // False, with *pError filled (cause, OS error, the name as given), when the file cannot be
    // opened or mapped. A folder is accessDenied.
    bool Open(const CString& strFileName, CFileException* pError);

    const unsigned char* Data() const { return m_pData; }
    std::size_t Size() const { return m_nSize; }

private:
    const unsigned char* m_pData = nullptr;
    std::size_t m_nSize = 0;
    void* m_pView = nullptr;             // the mapping, where there is one
    std::vector<unsigned char> m_bytes;  // the bytes read, where the file is not mapped
};
