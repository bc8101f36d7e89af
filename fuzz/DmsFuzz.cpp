// Arbitrary text of up to 64 bytes through the coordinate conversion. The text sits in a heap
// block of its exact size (or, when short, at the end of a heap-allocated string object), so a
// read past its terminator lands in ASan's red zone.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "DocumentCheck.h"
#include "FuzzHosts.h"
#include "convert/DmsToDegreeText.h"
#include "platform/CString.h"

using fuzzcheck::Require;

namespace {
constexpr std::size_t kMaxInput = 64;

std::string Convert(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<char[]> exact(new char[size + 1]);
    std::memcpy(exact.get(), data, size);
    exact[size] = '\0';
    std::unique_ptr<CString> text(new CString(exact.get(), static_cast<int>(size)));
    DmsToDegreeText(*text);
    return text->Str();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInput) return 0;
    const std::string result = Convert(data, size);
    Require(fuzzcheck::IsDegreeText(result), "not degree text: " + result);

    // Only the bytes before the first NUL and within the first 32 count.
    const std::size_t used = std::min<std::size_t>(strnlen(reinterpret_cast<const char*>(data), size), 32);
    Require(Convert(data, used) == result, "bytes beyond the working copy changed the result");
    return 0;
}
