#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace feedrail {

// A text that should have been a whole number.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(std::string_view text) : std::runtime_error(Message(text)) {}

    // Built by appending: GCC 12 warns falsely (-Wrestrict) about
    // concatenating a literal with a temporary string in optimised builds.
    static std::string Message(std::string_view text) {
        std::string message(1, '\'');
        message.append(text).append("' is not a valid integer value");
        return message;
    }
};

} // namespace feedrail
