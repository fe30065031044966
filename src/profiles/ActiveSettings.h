#pragma once

#include <cstdint>
#include <string>

namespace feedrail {

// The selected machine's profile values in effect. The members start at the
// values a missing DNC.ini gives at start-up.
struct ActiveSettings {
    std::int32_t PunchType = 1;
    std::int32_t CommHandshake = 0;
    std::int32_t PunchWait = 0;
    std::int32_t EOB = 0;
    std::int32_t CommBaudRate = 600;
    std::uint8_t CommPort = 2;
    std::uint8_t CommDataBits = 8;
    std::uint8_t CommStopBits = 1;
    char CommParity = 'N';
    // The device the machine is reached through: a path, rfc2217://host:port
    // or tcp://host:port. Empty means the com<CommPort> link.
    std::string CommDevice;
    std::string DefaultDir;
    std::string DefaultFileFilter = "*";
    std::string DefaultExt = ".nc";

    bool operator==(const ActiveSettings&) const = default;
};

} // namespace feedrail
