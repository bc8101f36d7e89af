// The functions the page's worker calls. Each answer stays valid until the next call.
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <exception>
#include <string>

#include <nlohmann/json.hpp>

#include "ui/web/WebConverter.h"

namespace {
std::string g_answer;

const char* Answer(std::string text) {
    g_answer = std::move(text);
    return g_answer.c_str();
}
}  // namespace

extern "C" {
// dataFolder holds the datum grid the page carries.
EMSCRIPTEN_KEEPALIVE void quorvel_init(const char* dataFolder) { setenv("QUORVEL_DATA_DIR", dataFolder, 1); }

EMSCRIPTEN_KEEPALIVE const char* quorvel_formats() { return Answer(WebConverter::Formats()); }

// A request the core cannot take (bad JSON, no memory) is answered with its reason, not thrown
// into the page's script.
EMSCRIPTEN_KEEPALIVE const char* quorvel_run(const char* request) {
    try {
        return Answer(WebConverter::Run(request));
    } catch (const std::exception& error) {
        return Answer(nlohmann::json({{"error", error.what()}}).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
}
}

int main() { return 0; }
