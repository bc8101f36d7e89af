#pragma once
// The file class of the framework layer, with what the program uses of it.
//
// A file opened with modeCreate is written all-or-nothing: Open follows links to the file the
// name points at, checks that it can be replaced and creates a temporary file beside it; Write
// goes to the temporary file; Close flushes it to disk and only then puts it in the target's
// place. A file object destroyed or aborted before a successful Close removes its temporary file
// and leaves the target untouched. Where a replacement would lose something (a file with other
// names, a folder that takes no new file) the whole document is kept in memory and written over
// the target at Close (room for it reserved first); devices and FIFOs are written directly.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/CFileException.h"
#include "platform/CString.h"

class CFile {
public:
    // The framework's values, of the flags the program uses.
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        modeCreate = 0x1000,
    };

    CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() noexcept;  // abandons an open file: closes it, never throws

    // Existing file for reading (modeRead; always without sharing), or a new document
    // (modeCreate | modeWrite). On failure fills *pError (cause, OS error, the name as given).
    bool Open(const CString& strFileName, unsigned nOpenFlags, CFileException* pError = nullptr);

    std::uint64_t GetLength() const;                   // throws CFileException
    unsigned Read(void* lpBuf, unsigned nCount);       // throws; returns the bytes read
    void Write(const void* lpBuf, unsigned nCount);    // throws; a short write is diskFull
    // For modeCreate: the whole document on disk (or, written in place, ready in memory), so that
    // Close only has to put it in place (several files then take their places together). It
    // releases the file's descriptors. Nothing may be written after it. Throws.
    void Flush();
    void Close();                                      // throws; for modeCreate: replaces the target
    // After Flush: the caller has put the staged document in place itself (or keeps it for later):
    // the file forgets it without removing it.
    void Release() noexcept;
    void Abort() noexcept;                             // closes without throwing; drops a new document

    bool IsOpen() const { return m_hFile != kInvalidHandle || m_bFlushed; }
    // Full path recorded at open; failures of read, write and close name it.
    const CString& GetFilePath() const { return m_strFileName; }
    // After Flush of a new document: where it waits (host path; empty when it is written directly
    // or waits only in memory), where it goes (links followed), and whether it is written over
    // that file rather than renamed onto it.
    const std::string& GetStagedPath() const { return m_strTempName; }
    const std::string& GetTargetPath() const;
    bool IsWrittenInPlace() const;

    static constexpr std::intptr_t kInvalidHandle = -1;

private:
    void FlushBuffer();
    void ThrowOsError(long lOsError) const;

    // What only one system's file layer keeps (how a new document reaches its target there).
    struct Native;

    std::intptr_t m_hFile = kInvalidHandle;   // fd or HANDLE of the open file (the temporary file when replacing)
    std::intptr_t m_hTarget = kInvalidHandle; // the existing target, held while it is being replaced
    CString m_strFileName;                    // full path of the file (the target when replacing)
    std::string m_strTempName;                // host path of the temporary file, empty when not replacing
    std::vector<char> m_buffer;               // pending bytes of a new document (appending inlines, unlike std::string)
    bool m_bFlushed = false;                  // the new document is complete on disk, its file closed
    std::unique_ptr<Native> m_native;
};
