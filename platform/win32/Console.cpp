#include "platform/win32/Console.h"

#include <algorithm>

#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

namespace {
// The files a name with * or ? in its last part matches, sorted, in the spelling given (the
// folder as typed, each name as found); folders are left out. The C runtime of Windows programs
// leaves this to the program, and cmd.exe does not do it.
std::vector<std::wstring> Matches(const std::wstring& pattern) {
    std::vector<std::wstring> found;
    const std::size_t separator = pattern.find_last_of(L"\\/:");
    const std::wstring folder = separator == std::wstring::npos ? std::wstring() : pattern.substr(0, separator + 1);
    if (folder.find_first_of(L"*?") != std::wstring::npos) return found;
    // A pattern whose folder cannot be searched matches nothing here: the argument stays as
    // it is and is reported as a file that cannot be read.
    std::vector<WIN32_FIND_DATAW> entries;
    if (Win32Calls::Current().FindMatches(pattern.c_str(), entries) != 0) return found;
    for (const WIN32_FIND_DATAW& data : entries)
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(folder + data.cFileName);
    std::sort(found.begin(), found.end());
    return found;
}
}  // namespace

std::vector<std::string> ConsoleArguments() {
    std::vector<std::string> args;
    std::vector<std::wstring> wide;
    if (Win32Calls::Current().CommandLineArguments(wide) != 0) return args;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const std::wstring& arg = wide[i];
        // No file name holds * or ?: such an argument is a pattern; one that matches nothing stays
        // as it is, to be reported as a file that cannot be read.
        const std::vector<std::wstring> matches =
            i > 0 && arg.find_first_of(L"*?") != std::wstring::npos ? Matches(arg) : std::vector<std::wstring>();
        if (matches.empty()) args.push_back(WideToUtf8(arg));
        for (const std::wstring& match : matches) args.push_back(WideToUtf8(match));
    }
    return args;
}

std::string ProgramFileName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = Win32Calls::Current().GetModuleFileName(&path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) return WideToUtf8(path.data(), static_cast<int>(length));
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);  // cut short: ask again with more room
    }
}

std::string CommandLineText() {
    const wchar_t* line = Win32Calls::Current().CommandLine();
    return line ? WideToUtf8(std::wstring(line)) : std::string();
}

ConsoleOutput::ConsoleOutput(DWORD stdHandle) : m_handle(Win32Calls::Current().GetStdHandle(stdHandle)) {
    DWORD mode = 0;
    m_bConsole =
        m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE && Win32Calls::Current().GetConsoleMode(m_handle, &mode) != 0;
    setp(m_buffer, m_buffer + sizeof m_buffer);
}

ConsoleOutput::~ConsoleOutput() {
    m_pending.append(pbase(), pptr());
    Emit(true);
}

ConsoleOutput::int_type ConsoleOutput::overflow(int_type ch) {
    m_pending.append(pbase(), pptr());
    setp(m_buffer, m_buffer + sizeof m_buffer);
    if (!traits_type::eq_int_type(ch, traits_type::eof())) m_pending += traits_type::to_char_type(ch);
    return Emit(false) ? traits_type::not_eof(ch) : traits_type::eof();
}

int ConsoleOutput::sync() {
    m_pending.append(pbase(), pptr());
    setp(m_buffer, m_buffer + sizeof m_buffer);
    return Emit(false) ? 0 : -1;
}

std::string ConsoleOutput::ToCodePage(const std::string& utf8, UINT codePage) {
    std::wstring wide;
    for (wchar_t ch : Utf8ToWide(utf8)) {
        if (ch == L'\n') wide += L'\r';
        wide += ch;
    }
    if (wide.empty()) return std::string();
    const int length = static_cast<int>(wide.size());
    const int room = ::WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (room <= 0) return std::string();
    std::string bytes(static_cast<size_t>(room), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), length, &bytes[0], room, nullptr, nullptr);
    return bytes;
}

bool ConsoleOutput::Emit(bool bAll) {
    // A character cut by the buffer's end waits for its other bytes.
    size_t whole = m_pending.size();
    if (!bAll) {
        size_t start = whole;
        while (start > 0 && whole - start < 3 && (static_cast<unsigned char>(m_pending[start - 1]) & 0xC0) == 0x80)
            --start;
        if (start > 0) {
            const unsigned char lead = static_cast<unsigned char>(m_pending[start - 1]);
            const size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3
                                                 : lead >= 0xC0   ? 2
                                                                  : 1;
            if (whole - (start - 1) < needed) whole = start - 1;
        }
    }
    if (whole == 0) return true;
    const std::string text = m_pending.substr(0, whole);
    m_pending.erase(0, whole);
    if (m_handle == nullptr || m_handle == INVALID_HANDLE_VALUE) return false;
    if (m_bConsole) {
        const std::wstring wide = Utf8ToWide(text);
        size_t done = 0;
        // Consoles of older Windows take less than 64 KiB a call.
        while (done < wide.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
            DWORD written = 0;
            if (!Win32Calls::Current().WriteConsole(m_handle, wide.data() + done, chunk, &written) || written == 0) return false;
            done += written;
        }
        return true;
    }
    const std::string bytes = ToCodePage(text, CP_ACP);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!Win32Calls::Current().WriteFile(m_handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}
