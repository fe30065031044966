#pragma once

#include "serial/device/LineTap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace feedrail {

// How a line monitor shows bytes: as text, control characters by name, or
// as hexadecimal codes.
enum class TrafficView { Text, Hex };

// One line of a line monitor: its time (empty on a piece's later lines),
// its direction and its bytes in words, as UTF-8.
struct TrafficLine {
    std::string Time;
    bool Sent = false;
    std::string Text;
};

// `piece` as a line monitor shows it. Text: printable characters as they
// are; XON, XOFF, DC2, DC4, NUL, CR, LF and any other control code by name
// in angle brackets ("<XOFF>", "<0x1B>"), a new line after each LF; a byte
// with its parity bit set is shown as the character of its lower seven
// bits, overlined, so that an ISO tape reads as text with its parity in
// sight. Hex: 16 codes to a line.
std::vector<TrafficLine> TrafficLines(const TappedBytes& piece, TrafficView view);

// "12:34:56.789", local time.
std::string TrafficTime(std::chrono::system_clock::time_point at);

// A line as every line monitor shows it, the window's and the service's:
// "12:34:56.789 → text" for what was sent, "← " for what was received, a
// piece's later lines with the time left blank.
std::string TrafficLineText(const TrafficLine& line);

// What a line monitor shows in place of the bytes it lost, falling behind.
std::string TrafficDroppedText(std::uint64_t dropped);

} // namespace feedrail
