#include "cli/TerminalText.h"

#include "platform/Cp932Text.h"
#include "platform/Utf8.h"

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";

// C0 controls, DEL and the C1 controls U+0080 to U+009F.
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
}  // namespace

std::string Cp932ToTerminal(const std::string& bytes) {
    std::string decoded;
    Cp932ToUtf8(bytes, decoded);
    return Utf8ToTerminal(decoded);
}

// Invalid UTF-8, which the map readers refuse, is passed on unchanged.
std::string Utf8ToTerminal(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const Utf8Char c = DecodeUtf8(text, i);
        if (c.valid && IsControl(c.codePoint))
            out += kReplacement;
        else
            out.append(text, i, c.length);
        i += c.length;
    }
    return out;
}
