#include "GoldenFile.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {
std::string SourceDir() {
    const char* env = std::getenv("QUORVEL_SOURCE_DIR");
    if (env && *env) return env;
    // Run by hand, outside the test driver: this file sits in tests/support/ of the source tree.
    std::string here = __FILE__;
    for (int up = 0; up < 3; ++up) {
        const std::size_t slash = here.find_last_of('/');
        if (slash == std::string::npos) return ".";
        here.erase(slash);
    }
    return here;
}

std::string Visible(const std::string& bytes, std::size_t from, std::size_t length) {
    std::string out;
    for (std::size_t i = from; i < bytes.size() && i < from + length; ++i) {
        const unsigned char ch = static_cast<unsigned char>(bytes[i]);
        if (ch == '\r') out += "\\r";
        else if (ch == '\n') out += "\\n";
        else if (ch == '\t') out += "\\t";
        else if (ch < 0x20 || ch >= 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[ch >> 4];
            out += hex[ch & 15];
        } else out += static_cast<char>(ch);
    }
    return out;
}
}  // namespace

std::string GoldenPath(const std::string& name) { return SourceDir() + "/tests/golden/" + name; }

::testing::AssertionResult MatchesGolden(const std::string& bytes, const std::string& name) {
    const std::string path = GoldenPath(name);
    if (std::getenv("QUORVEL_UPDATE_GOLDEN")) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return ::testing::AssertionFailure() << "rewrote " << path << " (" << bytes.size() << " bytes)";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return ::testing::AssertionFailure() << "cannot read " << path;
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes == expected) return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end());
    const std::size_t at = static_cast<std::size_t>(diff.first - bytes.begin());
    const std::size_t line = 1 + static_cast<std::size_t>(std::count(bytes.begin(), diff.first, '\n'));
    const std::size_t from = at < 20 ? 0 : at - 20;
    return ::testing::AssertionFailure() << name << ": " << bytes.size() << " bytes, expected " << expected.size()
                                         << "; first difference at byte " << at << " (line " << line << ")\n  got:      "
                                         << Visible(bytes, from, 60) << "\n  expected: " << Visible(expected, from, 60);
}
