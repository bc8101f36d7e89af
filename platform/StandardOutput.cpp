#include "platform/StandardOutput.h"

const char* const StandardOutput::kName = "標準出力";

void StandardOutput::Write(const void* bytes, std::size_t count) {
    if (m_bFailed) throw CFileException(CFileException::invalidFile, -1, CString(kName));
    m_pending.append(static_cast<const char*>(bytes), count);
    if (m_pending.size() >= kBufferBytes) Send();
}

void StandardOutput::Finish() {
    if (m_bFailed) throw CFileException(CFileException::invalidFile, -1, CString(kName));
    Send();
}

void StandardOutput::Send() {
    std::size_t done = 0;
    while (done < m_pending.size()) {
        std::size_t taken = 0;
        long osError = 0;
        // A pipe may take fewer bytes than given: the rest goes in the next call. None taken
        // without an error would never end.
        if (!SendSome(m_pending.data() + done, m_pending.size() - done, taken, osError) || taken == 0) {
            m_bFailed = true;
            m_sent += done;
            m_pending.clear();
            if (taken == 0 && osError == 0) throw CFileException(CFileException::diskFull, -1, CString(kName));
            throw CFileException(CFileException::OsErrorToException(osError), osError, CString(kName));
        }
        done += taken;
    }
    m_sent += done;
    m_pending.clear();
}
