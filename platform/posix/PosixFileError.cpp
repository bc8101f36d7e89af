// The failure causes that POSIX error numbers stand for.
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/CFileException.h"

int CFileException::OsErrorToException(long lOsError) {
    switch (lOsError) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return badPath;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return accessDenied;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return diskFull;
    case EIO:
        return hardIO;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
        return sharingViolation;
    default:
        return generic;
    }
}

std::string CFileException::OsErrorText(long lOsError) {
    // strerror gives "Unknown error N" for a number it has no text for; the number follows anyway.
    return std::string(std::strerror(static_cast<int>(lOsError))) + " (errno " + std::to_string(lOsError) + ")";
}
