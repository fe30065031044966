#pragma once

#include "serial/device/SerialDevice.h"

#include <array>
#include <cstdint>
#include <utility>

namespace feedrail {

// The status texts of the line-error flags, in the order they are shown; with
// several flags the last one set stays visible.
inline constexpr std::array<std::pair<std::uint32_t, const char*>, 11> LineErrorMessages{{
    {CommErrorBit::CE_BREAK, "The hardware detected a break condition."},
    {CommErrorBit::CE_DNS, "A parallel device is not selected."},
    {CommErrorBit::CE_FRAME, "The hardware detected a framing error."},
    {CommErrorBit::CE_IOE, "An I/O error occurred during communications with the device."},
    {CommErrorBit::CE_MODE, "The requested mode is not supported"},
    {CommErrorBit::CE_OOP, "Windows 95 only: A parallel device signaled that it is out of paper."},
    {CommErrorBit::CE_OVERRUN,
     "A character-buffer overrun has occurred. The next character is lost."},
    {CommErrorBit::CE_PTO, "A time-out occurred on a parallel device."},
    {CommErrorBit::CE_RXOVER, "An input buffer overflow has occurred. There is either no"},
    {CommErrorBit::CE_RXPARITY, "The hardware detected a parity error."},
    {CommErrorBit::CE_TXFULL, "buffer was full."},
}};

static_assert([] {
    constexpr std::array<std::uint32_t, 11> order{0x0010, 0x0800, 0x0008, 0x0400, 0x8000, 0x1000,
                                                  0x0002, 0x0200, 0x0001, 0x0004, 0x0100};
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (LineErrorMessages[i].first != order[i]) {
            return false;
        }
    }
    return true;
}());

} // namespace feedrail
