// Runs quorvel-cli.exe inside Wine once for each line of a command file, all in one Wine session:
// each line holds the arguments (UTF-8, separated by tabs); the program runs in the working
// folder with its output and its messages redirected to files, which the Wine suite compares with
// the Linux build's. For line N it leaves RESULTS\N.out, N.err and N.status (the exit code).
//
//   quorvel_wine_cli_runner <quorvel-cli.exe> <working folder> <command file> <results folder>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/WideText.h"

namespace {
// One argument quoted as CommandLineToArgvW reads it back.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t ch : arg) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(ch == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += ch;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE Inheritable(const std::wstring& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The exit code, or -1 when the program could not be started or did not end in three minutes
// (a loaded machine under Wine is slow); the reason is added to its error output, so that the
// suite's comparison shows it.
int Run(const std::wstring& exe, const std::vector<std::wstring>& args, const std::wstring& folder,
        const std::wstring& outPath, const std::wstring& errPath) {
    std::wstring line = Quote(L"quorvel-cli");
    for (const std::wstring& arg : args) line += L" " + Quote(arg);
    HANDLE out = Inheritable(outPath);
    HANDLE err = Inheritable(errPath);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    int status = -1;
    std::string failure;
    if (::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si, &pi)) {
        DWORD code = 0;
        const DWORD waited = ::WaitForSingleObject(pi.hProcess, 180000);
        if (waited == WAIT_OBJECT_0 && ::GetExitCodeProcess(pi.hProcess, &code)) {
            status = static_cast<int>(code);
        } else {
            failure = "[runner: the program did not end in 180 s (wait " + std::to_string(waited) + ", error " +
                      std::to_string(::GetLastError()) + ")]";
            ::TerminateProcess(pi.hProcess, 99);
        }
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    } else {
        failure = "[runner: CreateProcess failed, error " + std::to_string(::GetLastError()) + "]";
    }
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!failure.empty()) std::ofstream(errPath.c_str(), std::ios::binary | std::ios::app) << failure << '\n';
    return status;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: quorvel_wine_cli_runner <quorvel-cli.exe> <folder> <command file> <results folder>\n");
        return 2;
    }
    const std::wstring exe = argv[1], folder = argv[2], results = std::wstring(argv[4]) + L"\\";
    std::ifstream commands(argv[3], std::ios::binary);
    if (!commands) {
        std::fprintf(stderr, "cannot read the command file\n");
        return 2;
    }
    std::string line;
    int number = 0;
    while (std::getline(commands, line)) {
        ++number;
        std::vector<std::wstring> args;
        size_t start = 0;
        for (size_t tab = line.find('\t'); start <= line.size(); tab = line.find('\t', start)) {
            const size_t end = tab == std::string::npos ? line.size() : tab;
            args.push_back(Utf8ToWide(line.substr(start, end - start)));
            start = end + 1;
        }
        if (line.empty()) args.clear();
        const std::wstring base = results + std::to_wstring(number);
        const int status = Run(exe, args, folder, base + L".out", base + L".err");
        std::ofstream((base + L".status").c_str(), std::ios::binary) << status << '\n';
    }
    return 0;
}
