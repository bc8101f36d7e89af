#pragma once
// What a conversion says, shared by the conversion and the edits it applies before it.
#include <string>
#include <utility>

#include "text/Message.h"

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
    std::string text;  // Japanese, one line or a message box's lines, without a final line break
    Message said;      // the same as the table's message; its own text is left in text

    ConversionMessage(Kind messageKind, Message message) : kind(messageKind) {
        if (message.id == MessageId::text) {
            text = std::move(message.text);
        } else {
            text = ::Words(message);
            said = std::move(message);
        }
    }
    // The words in language.
    std::string Words(Language language) const { return said.id == MessageId::text ? text : ::Words(said, language); }
};
