#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

namespace feedrail::test {

// Bytes written as numbers, for what is expected on the wire.
inline std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// How often `part` stands in `text`, overlaps counted.
inline std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace feedrail::test
