#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <cerrno>

#include "platform/posix/PosixCalls.h"

MappedFile::~MappedFile() noexcept {
    if (m_pView) PosixCalls::Current().Unmap(m_pView, m_nSize);
}

bool MappedFile::Open(const CString& strFileName, CFileException* pError) {
    PosixCalls& os = PosixCalls::Current();
    const auto fail = [&](int err) {
        if (pError) *pError = CFileException(CFileException::OsErrorToException(err), err, strFileName);
        return false;
    };
    const int fd = os.Open(strFileName.GetString(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) return fail(errno);
    struct stat st {};
    if (os.Fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EACCES : errno;
        os.Close(fd);
        return fail(err);
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    void* view = size > 0 ? os.MapRead(fd, size) : nullptr;
    const int err = errno;
    os.Close(fd);  // the mapping stays without it
    if (view == MAP_FAILED) return fail(err);
    if (m_pView) os.Unmap(m_pView, m_nSize);
    m_pView = view;
    m_pData = static_cast<const unsigned char*>(view);
    m_nSize = size;
    return true;
}
