#pragma once
// How the POSIX file layer spells paths: one definition for the file and the output set, so that
// both name a folder the same way.
#include <string>

// A relative name made absolute against the current directory (left as it is when that is unknown).
std::string FullPath(const std::string& name);
// The folder part including its final slash; empty when the path names no folder.
std::string FolderPrefix(const std::string& path);
// A folder prefix as a name to open: "." for the empty one.
std::string FolderToOpen(const std::string& prefix);
