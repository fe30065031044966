#pragma once

#include "serial/device/SerialSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace feedrail {

// One RFC 2217 request: its command and value.
struct ComPortSetting {
    std::uint8_t command = 0;
    std::string value;
    bool operator==(const ComPortSetting&) const = default;
};

// SET-CONTROL values.
namespace ComPortControl {
// 1 to 3 set both directions; 14 to 16 then set the inbound one.
inline constexpr std::uint8_t NoFlowControl = 1, HardwareFlowControl = 3, DtrOn = 8, DtrOff = 9,
                              RtsOn = 11, RtsOff = 12, NoInboundFlowControl = 14,
                              XonXoffInboundFlowControl = 15, HardwareInboundFlowControl = 16;
} // namespace ComPortControl

// The requests that take a server's line from `previous` (none right after
// connecting, when everything is sent) to `settings`: only what changed, so
// that writes made for one property do not wait for answers about the rest.
// DTR and RTS move only when their control modes change, as on a local port.
// The machine's XON and XOFF stay the client's to act on, as on a local port
// (the server would take them out of the line and keep filling its buffer),
// so output XON/XOFF asks the server for no flow control.
std::vector<ComPortSetting> ComPortSettingRequests(const std::optional<SerialSettings>& previous,
                                                   const SerialSettings& settings);

// The SET-CONTROL request for a line function of EscapeFunction; nothing for
// the XON and XOFF functions, which are the client's own.
std::optional<ComPortSetting> ComPortEscapeRequest(int function);

} // namespace feedrail
