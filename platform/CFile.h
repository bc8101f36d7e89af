#pragma once
// The file class of the framework layer for reading: an existing file, whole or in parts.
// Writing is CSaveFile's (platform/CSaveFile.h), which replaces its target all or nothing.
#include <cstdint>

#include "platform/CFileException.h"
#include "platform/CString.h"

class CFile {
public:
    // The framework's values, of the flags the program uses: reading, with or without other readers.
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        // The program's own: a FIFO (a pipe, <(...), /dev/stdin) is opened again to wait for its
        // writer and read to its end; any other open sees a FIFO empty and never hangs on it.
        waitForWriter = 0x10000,
    };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() noexcept;  // closes an open file, never throws

    // An existing file for reading: shareExclusive (the default) keeps every other opener out,
    // shareDenyWrite lets other readers in. On failure fills *pError (cause, OS error, the name as
    // given).
    bool Open(const CString& strFileName, unsigned nOpenFlags = modeRead, CFileException* pError = nullptr);

    std::uint64_t GetLength() const;              // throws CFileException
    unsigned Read(void* lpBuf, unsigned nCount);  // throws; returns the bytes read
    void Close();                                 // throws
    void Abort() noexcept;                        // closes without throwing

    bool IsOpen() const { return m_hFile != kInvalidHandle; }
    // Full path recorded at open; failures of read name it.
    const CString& GetFilePath() const { return m_strFileName; }

    static constexpr std::intptr_t kInvalidHandle = -1;

private:
    [[noreturn]] void ThrowOsError(long lOsError) const;

    std::intptr_t m_hFile = kInvalidHandle;  // fd or HANDLE
    CString m_strFileName;                   // full path of the file
};
