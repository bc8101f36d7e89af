#include "platform/CFileException.h"

namespace {
const char* CauseName(int cause) {
    static const char* const kNames[] = {"none", "generic", "fileNotFound", "badPath", "tooManyOpenFiles", "accessDenied",
                                         "invalidFile", "removeCurrentDir", "directoryFull", "badSeek", "hardIO",
                                         "sharingViolation", "lockViolation", "diskFull", "endOfFile", "noReader"};
    return cause >= 0 && cause < static_cast<int>(sizeof kNames / sizeof kNames[0]) ? kNames[cause] : "generic";
}
}  // namespace

const char* CFileException::what() const noexcept {
    try {
        m_what = CauseName(m_cause);
        m_what += ": ";
        m_what += m_strFileName.IsEmpty() ? std::string("untitled") : m_strFileName.Str();
        // -1: no host error behind the failure (a short read, a closed file).
        if (m_lOsError > 0) m_what += ": " + OsErrorText(m_lOsError);
        return m_what.c_str();
    } catch (...) {
        return "CFileException";  // no memory for the text
    }
}
