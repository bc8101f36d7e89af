#include "platform/PathSplit.h"

namespace {
constexpr int kDriveRoom = 2;
constexpr int kPartRoom = 255;

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

CString Cut(const std::string& text, size_t first, size_t length, int room) {
    if (length > static_cast<size_t>(room)) length = static_cast<size_t>(room);
    return CString(text.substr(first, length));
}
}  // namespace

PathParts SplitPath(const CString& path) {
    const std::string& text = path.Str();
    PathParts parts;
    size_t restStart = 0;
    if (text.size() >= 2 && text[1] == ':') {
        parts.drive = Cut(text, 0, 2, kDriveRoom);
        restStart = 2;
    }
    size_t componentStart = restStart;
    size_t lastDot = std::string::npos;
    for (size_t i = restStart; i < text.size(); ++i) {
        if (IsSeparator(text[i])) componentStart = i + 1;
        else if (text[i] == '.') lastDot = i;
    }
    parts.dir = Cut(text, restStart, componentStart - restStart, kPartRoom);
    if (lastDot != std::string::npos && lastDot >= componentStart) {
        parts.fname = Cut(text, componentStart, lastDot - componentStart, kPartRoom);
        parts.ext = Cut(text, lastDot, text.size() - lastDot, kPartRoom);
    } else {
        parts.fname = Cut(text, componentStart, text.size() - componentStart, kPartRoom);
    }
    return parts;
}

CString MakePath(const CString& drive, const CString& dir, const CString& fname, const CString& ext) {
    std::string out;
    if (!drive.IsEmpty()) {
        out += drive.GetAt(0);
        out += ':';
    }
    if (!dir.IsEmpty()) {
        out += dir.Str();
        if (!IsSeparator(dir.Str().back())) out += '\\';
    }
    out += fname.Str();
    if (!ext.IsEmpty()) {
        if (ext.GetAt(0) != '.') out += '.';
        out += ext.Str();
    }
    return CString(std::move(out));
}

bool PathHasExtension(const CString& path, const char* ext) {
    std::string upper = SplitPath(path).ext.Str();
    if (upper.empty()) return false;
    for (char& ch : upper) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    }
    return upper == ext;
}
