#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace feedrail {

// Whole part programs to and from tape images, for files rather than the
// serial line.

// The bytes a send of `text` would put on the wire: each line as the send
// writes it, ending after the first byte of a closing "%" line, then the
// trailer when leader is on.
std::string EncodeProgramText(std::string_view text, std::int32_t punchType, std::int32_t eob,
                              bool leader);

// The text a receive would collect from `tape`: every line feed or carriage
// return ends a line, DC1 to DC4 and blank tape are not text. Lines end with
// a line feed; text after the last line break becomes a last line.
std::string DecodeTapeImage(std::string_view tape, std::int32_t punchType);

} // namespace feedrail
