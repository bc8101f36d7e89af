#pragma once
// A file that cannot be read or made as a map document: what() is the whole message for the
// user (UTF-8, Japanese), naming the file and, where there is one, the line or the feature;
// Said() the same as a message of the table, for a front that words it in another language.
#include <stdexcept>
#include <string>
#include <utility>

#include "text/Message.h"

class MapError : public std::runtime_error {
public:
    explicit MapError(Message message) : std::runtime_error(Words(message)), m_message(std::move(message)) {}
    const Message& Said() const { return m_message; }

private:
    Message m_message;
};
