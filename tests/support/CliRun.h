#pragma once
// quorvel-cli run in the test's process, its two streams kept. Every XML document it reports
// written (.xml, .gpx, .kml) is checked to be well-formed by xmllint, an independent parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliConverter.h"

struct CliOutcome {
    int status;
    std::string out;
    std::string err;
};

// xmllint's complaint about the document at path; empty when it is well-formed XML (or lies in
// the memory file system of a test's file calls, not on disk).
inline std::string XmlLintComplaint(const std::string& path) {
    if (!std::ifstream(path)) return {};
    FILE* pipe = popen(("xmllint --noout '" + path + "' 2>&1").c_str(), "r");
    if (!pipe) return "xmllint could not be started";
    std::string out;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pclose(pipe);
    return status == 0 ? std::string() : out.empty() ? "xmllint failed"
                                                     : out;
}

inline CliOutcome RunCli(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    CliConverter converter(out, err, "quorvel-cli");
    const int status = converter.Run(args);
    // Each summary line is "INPUTS -> OUTPUT (N 地点)".
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        const std::size_t arrow = line.find(" -> "), count = line.rfind(" (");
        if (arrow == std::string::npos || count == std::string::npos || count < arrow) continue;
        const std::string output = line.substr(arrow + 4, count - arrow - 4);
        const std::string ext = output.size() > 4 ? output.substr(output.size() - 4) : "";
        if (ext == ".xml" || ext == ".gpx" || ext == ".kml") {
            EXPECT_EQ(XmlLintComplaint(output), "") << output;
        }
    }
    return {status, out.str(), err.str()};
}
