#pragma once
// Runs a program as a child and collects what it printed.
#include <string>
#include <vector>

struct ChildResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// program and args as given; the child's working folder is cwd (empty: ours).
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args, const std::string& cwd = "");
