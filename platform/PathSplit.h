#pragma once
// The runtime library's path splitting and joining, over host text (UTF-8): no byte of a
// multibyte UTF-8 character is a separator or a dot, so the scan steps over nothing.
#include "platform/CString.h"

struct PathParts {
    CString drive;  // "C:" or empty (at most 2 bytes)
    CString dir;    // up to and including the last \ or / (at most 255 bytes)
    CString fname;  // base name (at most 255 bytes)
    CString ext;    // from the last dot of the final component, dot included (at most 255 bytes)
};

PathParts SplitPath(const CString& path);
CString MakePath(const CString& drive, const CString& dir, const CString& fname, const CString& ext);

// The extension of path's final component, ASCII letters upper-cased, equals ext byte for byte.
bool PathHasExtension(const CString& path, const char* ext);
