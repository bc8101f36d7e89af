#include "platform/MappedFile.h"

#include <windows.h>

#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

// Read whole: the grid it serves is read once a run here. Opened for reading with others allowed
// to read it too, so that two conversions at once do not keep each other from the grid.
MappedFile::~MappedFile() noexcept = default;

bool MappedFile::Open(const CString& strFileName, CFileException* pError) {
    Win32Calls& os = Win32Calls::Current();
    const auto fail = [&](DWORD error) {
        if (pError)
            *pError = CFileException(CFileException::OsErrorToException(static_cast<long>(error)),
                                     static_cast<long>(error), strFileName);
        return false;
    };
    const std::wstring wide = Utf8ToWide(strFileName.Str());
    HANDLE file = os.CreateFile(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) return fail(::GetLastError());
    LARGE_INTEGER size{};
    std::vector<unsigned char> bytes;
    DWORD error = 0;
    if (!os.GetFileSizeEx(file, &size)) {
        error = ::GetLastError();
    } else {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() && (!os.ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read) || read != bytes.size()))
            error = read != bytes.size() && ::GetLastError() == 0 ? ERROR_HANDLE_EOF : ::GetLastError();
    }
    os.CloseHandle(file);
    if (error != 0) return fail(error);
    m_bytes = std::move(bytes);
    m_pData = m_bytes.data();
    m_nSize = m_bytes.size();
    return true;
}
