#pragma once
// A new document written all or nothing, like a save of a document: nothing replaces the target
// until Commit succeeds.
//
// Open follows links to the file the name points at, checks that it can be replaced and creates a
// temporary file beside it; Write goes to the temporary file; Commit syncs it to disk and only then
// puts it in the target's place. A save file destroyed or aborted before a successful Commit
// removes its temporary file and leaves the target byte for byte as it was; the destructor never
// throws. The document is always a new file renamed over the name: an existing file is never
// written over, so a file with other names (a hard link) keeps its old text under them. Devices
// and FIFOs named as the output are written directly. It is a ByteSink: the formats' writers only
// hand it bytes; opening, syncing and putting the document in place are its own (and OutputSet's).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/CFileException.h"
#include "platform/CString.h"
#include "text/ByteSink.h"

class CSaveFile : public ByteSink {
public:
    CSaveFile();
    CSaveFile(const CSaveFile&) = delete;
    CSaveFile& operator=(const CSaveFile&) = delete;
    ~CSaveFile() noexcept;  // abandons an uncommitted document: the target stays, never throws

    // A new document for strFileName. On failure fills *pError (cause, OS error, the name as given).
    bool Open(const CString& strFileName, CFileException* pError = nullptr);
    // A new document for the name itself, for a member of a set: no link is followed and no
    // existing file is opened, whatever it is; the new file takes the name at Commit, with the
    // user's umask (or the mode of the user's own file it replaces).
    bool OpenNew(const CString& strFileName, CFileException* pError = nullptr);
    // After a failed Open: the folder (with its final separator) that took no new file, or "".
    const std::string& GetRefusingFolder() const { return m_strRefusingFolder; }

    std::uint64_t GetLength() const;                             // the document so far; throws CFileException
    void Write(const void* lpBuf, std::size_t nCount) override;  // throws; a short write is diskFull
    // The whole document on disk (or, written in place, ready in memory), so that Commit only has
    // to put it in place (several files then take their places together). It releases the file's
    // descriptors. Nothing may be written after it. Throws.
    void Flush();
    // The whole document handed to the system and its writing to disk begun; like Flush it
    // releases the file's descriptors. The Flush that follows only waits for the disk, so that
    // the writes of several documents written out before the first is flushed overlap (one wait
    // instead of one each). Nothing may be written after it. Throws.
    void WriteOut();
    // Flushes when not yet done and replaces the target. Throws; after a failure the target is
    // as it was and the document is dropped.
    void Commit();
    // After Flush: the caller has put the staged document in place itself (or keeps it for later):
    // the file forgets it without removing it.
    void Release() noexcept;
    void Abort() noexcept;  // drops the document, never throws

    bool IsOpen() const { return m_hFile != kInvalidHandle || m_bFlushed || m_bWrittenOut; }
    // Full path recorded at open; failures of write and commit name it.
    const CString& GetFilePath() const { return m_strFileName; }
    // After Flush: where the document waits (host path; empty when it is written directly).
    const std::string& GetStagedPath() const { return m_strTempName; }

    static constexpr std::intptr_t kInvalidHandle = -1;

private:
    void FlushBuffer();
    [[noreturn]] void ThrowOsError(long lOsError) const;

    // What only one system's file layer keeps (how a new document reaches its target there).
    struct Native;

    std::intptr_t m_hFile = kInvalidHandle;    // fd or HANDLE of the document (the temporary file when replacing)
    std::intptr_t m_hTarget = kInvalidHandle;  // the existing target, held while it is being replaced
    CString m_strFileName;                     // full path of the file (the target when replacing)
    std::string m_strTempName;                 // host path of the temporary file, empty when not replacing
    std::string m_strRefusingFolder;           // the folder a failed Open could make no file in
    std::vector<char> m_buffer;                // pending bytes (appending inlines, unlike std::string)
    bool m_bFlushed = false;                   // the document is complete on disk, its file closed
    bool m_bWrittenOut = false;                // every byte handed to the system: nothing more is written
    std::unique_ptr<Native> m_native;
};
