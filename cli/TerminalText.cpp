#include "cli/TerminalText.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";

class Cp932Decoder {
public:
    Cp932Decoder() : m_cd(iconv_open("UTF-8", "CP932")) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert CP932 to UTF-8");
    }
    ~Cp932Decoder() { iconv_close(m_cd); }
    Cp932Decoder(const Cp932Decoder&) = delete;
    Cp932Decoder& operator=(const Cp932Decoder&) = delete;

    std::string Decode(const std::string& bytes) {
        std::string out;
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = bytes.size();
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t result = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (result != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (a lead byte cut off at the end): skip one byte and go on.
            out += kReplacement;
            ++in;
            --inLeft;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t m_cd;
};

bool IsC0Control(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }
// U+0080 to U+009F, encoded C2 80 to C2 9F.
bool IsC1Control(const std::string& text, size_t i) {
    return static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
           static_cast<unsigned char>(text[i + 1]) >= 0x80 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}
}  // namespace

std::string Cp932ToTerminal(const std::string& bytes) {
    static Cp932Decoder decoder;
    return Utf8ToTerminal(decoder.Decode(bytes));
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
