// The functions the page's worker calls. Each answer stays valid until the next call.
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <exception>
#include <string>

#include <nlohmann/json.hpp>

#include "ui/web/WebConverter.h"

namespace {
std::string g_answer;
std::string g_points;

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
EMSCRIPTEN_KEEPALIVE void quorvel_init(const char* dataFolder) { setenv("QUORVEL_DATA_DIR", dataFolder, 1); }

EMSCRIPTEN_KEEPALIVE const char* quorvel_formats() {
    return Answer([] { return WebConverter::Formats(); });
}

EMSCRIPTEN_KEEPALIVE const char* quorvel_convert(const char* request) {
    return Answer([&] { return WebConverter::Convert(request); });
}

EMSCRIPTEN_KEEPALIVE const char* quorvel_list(const char* request) {
    return Answer([&] { return WebConverter::List(request, g_points); });
}

// The points of the last listing, until the next one.
EMSCRIPTEN_KEEPALIVE const char* quorvel_points() { return g_points.c_str(); }
}

int main() { return 0; }
