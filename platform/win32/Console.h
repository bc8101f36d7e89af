#pragma once
// The console side of a command-line program on Windows: its arguments as the wide API has them,
// and its output streams. Inside the program text is UTF-8. A console receives it through
// WriteConsoleW, so that every character shows whatever the console's code page; a redirect to
// a file or a pipe receives it in the ANSI code page (CP932 on Japanese Windows) with CR LF
// line ends, as Windows' own tools write.
#include <streambuf>
#include <string>
#include <vector>

#include <windows.h>

// Every argument of the command line, the program's name first, UTF-8; an argument with * or ?
// in its last part is replaced by the files it matches, if any. Empty when the line cannot be read.
std::vector<std::string> ConsoleArguments();
// The running program's file, UTF-8; empty when it cannot be had.
std::string ProgramFileName();
// The whole command line as the system keeps it, UTF-8, so that nothing is lost to a code page.
std::string CommandLineText();

class ConsoleOutput : public std::streambuf {
public:
    // handle: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE, looked up once.
    explicit ConsoleOutput(DWORD stdHandle);
    ~ConsoleOutput() override;
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    // How a redirect receives UTF-8: in the code page, each line feed as CR LF; a character the
    // code page has not becomes "?".
    static std::string ToCodePage(const std::string& utf8, UINT codePage);

protected:
    int_type overflow(int_type ch) override;
    int sync() override;

private:
    // Writes what is pending up to its last whole character; with bAll, the rest too.
    bool Emit(bool bAll);

    HANDLE m_handle;
    bool m_bConsole;
    std::string m_pending;  // UTF-8 not yet written
    char m_buffer[4096];
};
