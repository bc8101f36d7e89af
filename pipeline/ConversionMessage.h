#pragma once
// What a conversion says, shared by the conversion and the edits it applies before it.
#include <string>

struct ConversionMessage {
    // written: an output done (standard output); the others for standard error. A warning is
    // shown as such; a refusal names a point left out; a failure stops its conversion.
    enum class Kind {
        written,
        warning,
        refusal,
        failure
    };
    Kind kind;
    std::string text;  // UTF-8, one line or a message box's lines, without a final line break
};
