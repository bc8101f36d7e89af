#pragma once
// A file that cannot be read or made as a map document: what() is the whole message for the
// user (UTF-8), naming the file and, where there is one, the line or the feature.
#include <stdexcept>
#include <string>

class MapError : public std::runtime_error {
public:
    explicit MapError(const std::string& message) : std::runtime_error(message) {}
};
