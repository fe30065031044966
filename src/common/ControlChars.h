#pragma once

namespace feedrail {

// The tape interface's device-control characters, the same in every tape
// code: XON starts the reader, XOFF stops it, DC2 and DC4 switch the punch
// on and off.
namespace ControlChar {
inline constexpr char Nul = '\x00';
inline constexpr char Xon = '\x11';
inline constexpr char Dc2 = '\x12';
inline constexpr char Xoff = '\x13';
inline constexpr char Dc4 = '\x14';
} // namespace ControlChar

} // namespace feedrail
