#pragma once

#include "profiles/ProfileValues.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace feedrail {

// Blank tape.
inline constexpr char LeaderChar = '\x00';

// The characters that have an EIA code, and their codes at the same position.
// The last character, the byte 0x80, has no code of its own.
inline constexpr std::string_view TapeChars{
    " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ:%#*&@/\b,[]\t\x14-~$\x12\";+(.)?!\x7F\n'\x80", 66};
inline constexpr std::string_view EiaCodes{
    "\x10\x20\x01\x02\x13\x04\x15\x16\x07\x08\x19"
    "\x61\x62\x73\x64\x75\x76\x67\x68\x79\x51\x52\x43\x54\x45\x46\x57\x58\x49"
    "\x32\x23\x34\x25\x26\x37\x38\x29"
    "\x1A\x0B\x1C\x0D\x0E\x1F\x31\x2A\x3B\x2C\x5E\x3E\x2F\x40\x4A\x5B\x4C\x5D\x4F"
    "\x70\x7A\x6B\x7C\x6D\x6E\x7F\x80\x3D",
    65};

// The EIA code of a character that has none: the code of the space.
inline constexpr char EiaNoCode = '\x10';

// Converts one line of text, without its line end, to the bytes that go on
// the line; the result has one byte per character.
std::string EncodeTapeText(std::string_view text, std::int32_t punchType);

// The bytes that end a line on the wire; empty for values outside the tables.
std::string EndOfLineBytes(std::int32_t eob, std::int32_t punchType);

// Whether `character` goes on the line as itself in the tape code: in EIA
// only the characters of its chart do.
bool HasTapeCode(char character, std::int32_t punchType);

// The character a received byte stands for, or nothing when the byte is
// dropped (a carriage return in ASCII and ISO, where EIA's 0x0D is the
// asterisk; a byte that is no EIA code).
std::optional<char> DecodeTapeByte(unsigned char byte, std::int32_t punchType);
// The same for what a machine sends while it is fed: its DC1 and DC3 come as
// the plain bytes in EIA too (where 0x13 would be the digit 3).
std::optional<char> DecodeMachineByte(unsigned char byte, std::int32_t punchType);

} // namespace feedrail
