#include "cli/TerminalText.h"

#include "maps/Cp932Text.h"

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";

bool IsC0Control(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }
// U+0080 to U+009F, encoded C2 80 to C2 9F.
bool IsC1Control(const std::string& text, size_t i) {
    return static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
           static_cast<unsigned char>(text[i + 1]) >= 0x80 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}
}  // namespace

std::string Cp932ToTerminal(const std::string& bytes) {
    std::string decoded;
    Cp932ToUtf8(bytes, decoded);
    return Utf8ToTerminal(decoded);
}

std::string Utf8ToTerminal(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsC0Control(static_cast<unsigned char>(text[i]))) {
            out += kReplacement;
        } else if (IsC1Control(text, i)) {
            out += kReplacement;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
