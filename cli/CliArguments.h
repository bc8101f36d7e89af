#pragma once
// The command line of the converter, checked before any file is touched.
#include <string>
#include <vector>

#include "platform/CString.h"

struct CliArguments {
    enum class Mode { convert, list, help, version };

    Mode mode = Mode::convert;
    std::vector<CString> inputs;
    CString output;       // -o: only with one input
    CString folder;       // -d: outputs go here instead of beside their inputs
    bool hasOutput = false;
    bool hasFolder = false;

    // Empty when the line is usable; otherwise the one-line reason (UTF-8) it is refused for.
    std::string error;

    // Arguments without the program's own name. Options and inputs may come in any order;
    // "--" makes every later argument an input.
    static CliArguments Parse(const std::vector<std::string>& args);
};
