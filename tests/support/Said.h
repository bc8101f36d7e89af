#pragma once
// Messages as their words, for comparing with the texts a test expects.
#include <string>
#include <vector>

#include "text/Message.h"

inline std::vector<std::string> Texts(const std::vector<Message>& messages, Language language = Language::ja) {
    std::vector<std::string> texts;
    for (const Message& message : messages) texts.push_back(Words(message, language));
    return texts;
}
