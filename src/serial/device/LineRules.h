#pragma once

#include "serial/device/SerialSettings.h"

#include <cstdint>

namespace feedrail {

// What a receiver does with one byte off the line.
enum class ByteFate {
    Keep,
    // Flow-control characters act on the output and never reach the input queue.
    TakeXon,
    TakeXoff,
    DropNul,
    DropDsrOff,
};

struct ReceivedByte {
    ByteFate Fate = ByteFate::Keep;
    // Only a kept byte can be the event character.
    bool EventChar = false;
};

// The state of the far end as the output sees it: its lines as they reach
// this end, and the XOFF state of this end's output.
struct OutputLineState {
    bool CtsOn = true;
    bool DsrOn = true;
    bool XoffReceived = false;
    // Held by SETXOFF until SETXON, whatever the flow control.
    bool XoffForced = false;
};

// `dsrOn` only matters under DSR sensitivity.
ReceivedByte ClassifyReceivedByte(const SerialSettings& settings, char byte, bool dsrOn);

// Why output is held, as ComStatBit hold flags; 0 when it may flow.
std::uint32_t HoldReasons(const SerialSettings& settings, const OutputLineState& state);

} // namespace feedrail
