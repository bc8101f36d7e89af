// The functions the page's worker calls. Each answer, and the buffers beside it, stay valid until
// the next call.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include <nlohmann/json.hpp>
#include <zlib.h>

#include "ui/web/WebConverter.h"
#include "ui/web/WebProtocol.h"

namespace {
WebConverter g_converter;
std::string g_answer;

// A request the core cannot take (bad JSON, no memory) is answered with its reason, not thrown
// into the page's script.
template <typename Call>
const char* Answer(Call call) {
    try {
        g_answer = call();
    } catch (const std::exception& error) {
        g_answer = nlohmann::json({{"error", error.what()}}).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    return g_answer.c_str();
}

}  // namespace

extern "C" {
// dataFolder holds the datum grid the page carries.
EMSCRIPTEN_KEEPALIVE void quorvel_init(const char* dataFolder) { g_converter.SetDataFolder(DataFolder(dataFolder)); }

// The page's language ("ja", "en"; a browser's "en-GB" is English): the messages' words from then on.
EMSCRIPTEN_KEEPALIVE void quorvel_language(const char* language) { g_converter.SetLanguage(LanguageNamed(language)); }

// What the page and the core agree on (WebProtocol.h).
EMSCRIPTEN_KEEPALIVE const char* quorvel_protocol() {
    return Answer([] { return web_protocol::Json(); });
}

EMSCRIPTEN_KEEPALIVE const char* quorvel_formats() {
    return Answer([] { return WebConverter::Formats(); });
}

EMSCRIPTEN_KEEPALIVE const char* quorvel_convert(const char* request) {
    return Answer([&] { return g_converter.Convert(request); });
}

EMSCRIPTEN_KEEPALIVE const char* quorvel_list(const char* request) {
    return Answer([&] { return g_converter.List(request); });
}

// fileName: the user's readings, in the current folder; empty: none.
EMSCRIPTEN_KEEPALIVE const char* quorvel_readings(const char* fileName) {
    return Answer([&] { return g_converter.SetReadings(fileName); });
}

// 1: readings guessed with MeCab's dictionary, put in /ipadic; 0: none guessed.
EMSCRIPTEN_KEEPALIVE const char* quorvel_guess(int guess) {
    return Answer([&] { return g_converter.SetGuessing(guess != 0); });
}

// The CRC-32 of length bytes at bytes, continuing crc (0 to start): zlib's, for the page's zips,
// a sixth of the time of fflate's byte-at-a-time table over the 47 MB of 100,000 points.
EMSCRIPTEN_KEEPALIVE unsigned quorvel_crc32(unsigned crc, const unsigned char* bytes, std::size_t length) {
    return static_cast<unsigned>(crc32_z(crc, bytes, length));
}

// Where a buffer of the last call starts, and its length in bytes.
EMSCRIPTEN_KEEPALIVE const void* quorvel_buffer(int which) {
    using namespace web_protocol;
    switch (which) {
    case lineText: return g_converter.LineText().data();
    case points: return g_converter.Points().data();
    case pointStarts: return g_converter.PointStarts().data();
    case markers: return g_converter.Markers().data();
    }
    return nullptr;
}

EMSCRIPTEN_KEEPALIVE std::size_t quorvel_buffer_size(int which) {
    using namespace web_protocol;
    switch (which) {
    case lineText: return g_converter.LineText().size();
    case points: return g_converter.Points().size();
    case pointStarts: return g_converter.PointStarts().size() * sizeof(std::uint32_t);
    case markers: return g_converter.Markers().size() * sizeof(double);
    }
    return 0;
}
}

int main() { return 0; }
