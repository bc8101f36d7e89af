#include "platform/MappedFile.h"

#include "platform/CFile.h"

// Read whole: the grid it serves is read once a run here, and reading keeps to the file layer.
MappedFile::~MappedFile() noexcept = default;

bool MappedFile::Open(const CString& strFileName, CFileException* pError) {
    CFile file;
    if (!file.Open(strFileName, CFile::modeRead, pError)) return false;
    try {
        const auto length = static_cast<std::size_t>(file.GetLength());
        std::vector<unsigned char> bytes(length);
        if (length > 0 && file.Read(bytes.data(), static_cast<unsigned>(length)) != length)
            throw CFileException(CFileException::endOfFile, 0, strFileName);
        file.Close();
        m_bytes = std::move(bytes);
    } catch (const CFileException& error) {
        if (pError) *pError = error;
        return false;
    }
    m_pData = m_bytes.data();
    m_nSize = m_bytes.size();
    return true;
}
