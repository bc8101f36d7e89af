// quorvel-cli: converts memory-point files to glorie documents from the command line.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliConverter.h"
#include "platform/HostSystem.h"
#include "platform/MessageBox.h"

int main(int argc, char** argv) {
    RemoveTempFilesOnSignals();
    AfxSetAppName(argc > 0 && argv[0] ? argv[0] : "quorvel-cli");
    const CString name = AfxGetAppName().IsEmpty() ? CString("quorvel-cli") : AfxGetAppName();
    try {
        CliConverter converter(std::cout, std::cerr, name);
        return converter.Run(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    } catch (const std::exception& error) {
        std::cerr << name.Str() << ": " << error.what() << '\n';
        return CliConverter::kExitFailed;
    }
}
