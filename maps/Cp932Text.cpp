#include "maps/Cp932Text.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";

// Length of the UTF-8 character that starts at text[at]; 0 when the bytes there are not one.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5                 ? 4
                                                                             : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
    return length;
}

// One direction of glibc's converter, opened once. On a sequence it cannot convert, fallback
// appends what stands for it and says how many input bytes it covers.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    template <typename Fallback>
    std::string Convert(const std::string& text, Fallback fallback) {
        std::string out;
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (result != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) continue;
            // EILSEQ, or EINVAL for a character cut off at the end.
            const std::size_t skip = fallback(out, static_cast<std::size_t>(in - text.data()));
            in += skip;
            inLeft -= skip;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t m_cd;
};
}  // namespace

bool Cp932ToUtf8(const std::string& cp932, std::string& utf8) {
    static Converter decoder("UTF-8", "CP932");
    bool valid = true;
    utf8 = decoder.Convert(cp932, [&valid](std::string& out, std::size_t) {
        out += kReplacement;
        valid = false;
        return std::size_t{1};
    });
    return valid;
}

std::string Utf8ToCp932(const std::string& utf8, std::vector<std::string>* unmapped) {
    static Converter encoder("CP932", "UTF-8");
    return encoder.Convert(utf8, [&utf8, unmapped](std::string& out, std::size_t at) {
        out += '?';
        const std::size_t length = Utf8Length(utf8, at);
        if (unmapped) unmapped->push_back(length ? utf8.substr(at, length) : utf8.substr(at, 1));
        return length ? length : std::size_t{1};
    });
}
