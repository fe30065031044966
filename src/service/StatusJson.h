#pragma once

#include "service/ServedMachine.h"

#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

// `text` as a JSON string, quotes and all. Bytes that are not UTF-8 become
// U+FFFD, and <, > and & are written as escapes, so that text from any file
// stays text wherever a page puts it.
std::string JsonString(std::string_view text);

// One word for what a machine does, for a page to colour by: "listening",
// "receiving", "finding" (a requested program), "sending", "waiting-for-xon",
// "paused", "port-gone",
// "reaching", "stopping", "idle", "disabled" or "not-served".
std::string MachineStateCode(const MachineStatus& status);

// The machines as a JSON array: name, port, state (the status's words), code
// (MachineStateCode), program, percent (null without a known total: a
// receive, a send before its first byte), bytes, totalBytes, rate (bytes a
// second) and last (null before the first transfer, else its direction,
// file name, lines, bytes, result and time).
std::string MachinesJson(const std::vector<MachineStatus>& statuses);

} // namespace feedrail
