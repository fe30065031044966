#pragma once

#include <initializer_list>
#include <string>

namespace feedrail::test {

// Bytes written as numbers, for what is expected on the wire.
inline std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace feedrail::test
