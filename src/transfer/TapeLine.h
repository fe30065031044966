#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace feedrail {

// Blank bytes put before the percent sign of a "$ ... %" line when leader is on.
inline constexpr std::size_t LeaderLength = 8;
// Blank bytes sent after a program when leader is on, followed by DC4.
inline constexpr std::size_t TrailerLength = 20;

// The bytes a send puts on the wire for one editor line: leader inserted,
// trailing line breaks removed, the text encoded and the line end appended.
std::string TapeLineBytes(std::string_view editorText, std::int32_t punchType, std::int32_t eob,
                          bool leader);

// The blank tape and DC4 that follow a program; never encoded.
std::string TapeTrailer();

} // namespace feedrail
