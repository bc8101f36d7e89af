#pragma once
// Failure record of the file layer: filled by a failed open, thrown by a failed read, write or close.
#include <exception>
#include <string>

#include "platform/CString.h"

class CFileException : public std::exception {
public:
    enum {
        none = 0,
        generic = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
        // Past the framework's causes: a FIFO that nobody reads, which would block the writer.
        noReader = 15,
    };

    explicit CFileException(int cause = none, long lOsError = -1, const CString& strFileName = CString())
        : m_cause(cause), m_lOsError(lOsError), m_strFileName(strFileName) {}

    // For a log or a last-resort report: the cause's name, the file (or "untitled") and the
    // system's own text of the host error with its number, e.g.
    // "diskFull: /home/u/out.xml: No space left on device (error 28)".
    const char* what() const noexcept override;
    // The system's text of a host error code (strerror, FormatMessage), with the code itself, so
    // that a code with no cause of its own still says what it was. Implemented by each platform.
    static std::string OsErrorText(long lOsError);

    // The cause that a host error code (errno on POSIX, GetLastError() on Windows) stands for.
    // Implemented by each platform.
    static int OsErrorToException(long lOsError);

    int m_cause;
    long m_lOsError;
    CString m_strFileName;

private:
    mutable std::string m_what;  // made by what(), kept for the pointer it returns
};
