#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace feedrail {

// A text that should have been a whole number.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(std::string_view text) : std::runtime_error(Message(text)) {}

    static std::string Message(std::string_view text) {
        return "'" + std::string(text) + "' is not a valid integer value";
    }
};

} // namespace feedrail
