#include "serial/EVaCommError.h"

#include <cstring>

namespace feedrail {
namespace {

std::string Replace(std::string text, const std::string& placeholder, const std::string& value) {
    const std::size_t at = text.find(placeholder);
    if (at != std::string::npos) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

// The system's text for an error, as short as the message table gives it.
std::string SystemText(int code) {
    std::string text = std::strerror(code);
    text = text.substr(0, 256);
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        if (last > ' ' && last != '.') {
            break;
        }
        text.pop_back();
    }
    return text;
}

} // namespace

EVaCommError EVaCommError::WithCode(const std::string& format, int code) {
    return EVaCommError(
        Replace(Replace(format, "%d", std::to_string(code)), "%s", SystemText(code)));
}

EVaCommError EVaCommError::WithPort(const std::string& format, int port) {
    return EVaCommError(Replace(format, "%d", std::to_string(port)));
}

} // namespace feedrail
