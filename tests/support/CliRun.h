#pragma once
// quorvel-cli run in the test's process, its two streams kept.
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliConverter.h"

struct CliOutcome {
    int status;
    std::string out;
    std::string err;
};

inline CliOutcome RunCli(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    CliConverter converter(out, err, "quorvel-cli");
    const int status = converter.Run(args);
    return {status, out.str(), err.str()};
}
