#pragma once
// What the core says, as an id of the message table (Messages.inc) and its arguments: each front
// words it in its own language, the dialogs and the command line in Japanese, the page in the
// browser's. An argument is text said as it is (a file name, a number, a point's name) or a
// message of its own, worded in the same language ("12 行目" / "line 12").
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

enum class Language {
    ja,
    en
};

enum class MessageId {
    text,  // no words of the table: the message's text itself
#define QUORVEL_MESSAGE(id, ja, en) id,
#include "text/Messages.inc"
#undef QUORVEL_MESSAGE
};

struct Message {
    MessageId id = MessageId::text;
    std::string text;           // MessageId::text: the words themselves
    std::vector<Message> args;  // {1}, {2}, ... of the table's texts

    Message() = default;
    Message(std::string words) : text(std::move(words)) {}  // NOLINT: text is a message
    Message(const char* words) : text(words) {}             // NOLINT
    template <typename Number, typename = std::enable_if_t<std::is_integral_v<Number>>>
    Message(Number number) : text(std::to_string(number)) {}  // NOLINT: a number is said as digits

    template <typename... Args>
    Message(MessageId message, Args&&... arguments) : id(message) {
        args.reserve(sizeof...(arguments));
        (args.emplace_back(std::forward<Args>(arguments)), ...);
    }
};

// The table's text of id in language, its arguments unfilled.
std::string_view MessageText(MessageId id, Language language);
// The words of message in language; the Japanese of a text that has no English.
std::string Words(const Message& message, Language language = Language::ja);
void AppendWords(std::string& out, const Message& message, Language language = Language::ja);
// "ja" → ja, anything else (a browser's "en-GB", "fr") → en.
Language LanguageNamed(const std::string& name);
