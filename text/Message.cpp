#include "text/Message.h"

#include <cstddef>
#include <string_view>

namespace {
struct Row {
    std::string_view ja, en;
};

constexpr Row kRows[] = {
    {"{1}", "{1}"},  // MessageId::text, never looked up
#define QUORVEL_MESSAGE(id, ja, en) {ja, en},
#include "text/Messages.inc"
#undef QUORVEL_MESSAGE
};
}  // namespace

std::string_view MessageText(MessageId id, Language language) {
    const Row& row = kRows[static_cast<std::size_t>(id)];
    return language == Language::en && !row.en.empty() ? row.en : row.ja;
}

void AppendWords(std::string& out, const Message& message, Language language) {
    if (message.id == MessageId::text) {
        out += message.text;
        return;
    }
    const std::string_view words = MessageText(message.id, language);
    // "{N}" (N one digit, 1 to 9) is the N-th argument; every other character is the text's own.
    std::size_t plain = 0;
    for (std::size_t i = 0; i + 2 < words.size(); ++i) {
        if (words[i] != '{' || words[i + 1] < '1' || words[i + 1] > '9' || words[i + 2] != '}') continue;
        out.append(words, plain, i - plain);
        const auto n = static_cast<std::size_t>(words[i + 1] - '1');
        if (n < message.args.size()) AppendWords(out, message.args[n], language);
        plain = i + 3;
        i += 2;
    }
    out.append(words, plain);
}

std::string Words(const Message& message, Language language) {
    std::string out;
    AppendWords(out, message, language);
    return out;
}

Language LanguageNamed(const std::string& name) { return name.rfind("ja", 0) == 0 ? Language::ja : Language::en; }
