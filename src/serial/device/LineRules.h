#pragma once

#include "serial/device/SerialSettings.h"

#include <cstdint>
#include <optional>

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
    // Under fOutXKept, a kept XON (false) or XOFF (true): the output's XOFF
    // state changes too.
    std::optional<bool> Xoff;
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

// What a settings write does to one of the end's own output lines.
enum class LineAction {
    // Its control mode is the one in effect: the line stays where the mode or
    // the last SETDTR/CLRDTR (SETRTS/CLRRTS) left it.
    Keep,
    Raise,
    Drop,
    // Handshake or toggle: the device drives the line from now on.
    Driver,
};

struct LineActions {
    LineAction Dtr = LineAction::Keep;
    LineAction Rts = LineAction::Keep;
};

// A line moves only when its own control mode changes, so a write made for
// another reason (a new rate, the other line's mode, a flow control that
// leaves the line's mode as it was) keeps a line that was raised or dropped
// by hand. `previousFlags` is empty for the first write after opening, which
// sets both lines.
LineActions LineModeActions(std::optional<std::uint32_t> previousFlags, std::uint32_t flags);

// `dsrOn` only matters under DSR sensitivity.
ReceivedByte ClassifyReceivedByte(const SerialSettings& settings, char byte, bool dsrOn);

// Why output is held, as ComStatBit hold flags; 0 when it may flow.
std::uint32_t HoldReasons(const SerialSettings& settings, const OutputLineState& state);

} // namespace feedrail
