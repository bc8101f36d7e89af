// quorvel-cli: converts memory-point files to glorie documents from the command line.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliConverter.h"
#include "platform/HostSystem.h"
#include "platform/PathSplit.h"
#ifdef _WIN32
#include "platform/win32/Console.h"
#endif

namespace {
int Run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
    RemoveTempFilesOnSignals();
    // Messages begin with the program file's base name.
    const CString program = argv.empty() ? CString() : SplitPath(CString(argv[0])).fname;
    const CString name = program.IsEmpty() ? CString("quorvel-cli") : program;
    try {
        CliConverter converter(out, err, name);
        return converter.Run(std::vector<std::string>(argv.begin() + (argv.empty() ? 0 : 1), argv.end()));
    } catch (const std::exception& error) {
        err << name.Str() << ": " << error.what() << '\n';
        return CliConverter::kExitFailed;
    }
}
}  // namespace

#ifdef _WIN32
// The arguments come from the wide command line, so that any file name arrives whole; what is
// printed reaches the console or a redirect readable (platform/win32/Console.h).
int main() {
    ConsoleOutput outBuffer(STD_OUTPUT_HANDLE);
    ConsoleOutput errBuffer(STD_ERROR_HANDLE);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    err.setf(std::ios::unitbuf);
    const int status = Run(ConsoleArguments(), out, err);
    out.flush();
    return status;
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr); }
#endif
