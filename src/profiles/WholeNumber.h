#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace feedrail {

// Reads a whole number the way the profile files store them: optional leading
// blanks, an optional sign, then decimal digits or hexadecimal digits after
// "$", "0x" or "0X". Anything else, including trailing characters and values
// outside the 32-bit signed range, yields no value.
std::optional<std::int32_t> ParseWholeNumber(std::string_view text);

} // namespace feedrail
