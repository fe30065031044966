#pragma once

#include "profiles/ActiveSettings.h"
#include "serial/TVaCustomComm.h"

#include <string>

namespace feedrail {

// Gives the port the selected machine's device (CommDevice, else the com<N>
// link) and line format. Any rate is passed on; other values outside the
// port's tables leave the matching property as it was.
void ApplyProfileToPort(const ActiveSettings& settings, TVaCustomComm& port);

// Sets an open port's flow control and lines for a handshake value.
void SetHandshakeLines(std::int32_t handshake, TVaCustomComm& port);

// "ASCII", "EIA", "ISO", or empty for any other tape code.
std::string TapeCodeName(std::int32_t punchType);

// The settings summary: "9600 Baud, 7 Data Bits, 2 Stop Bits, ISO Format, com2".
std::string SettingsSummary(const ActiveSettings& settings, const std::string& deviceName);

} // namespace feedrail
