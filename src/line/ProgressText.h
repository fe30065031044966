#pragma once

#include "session/TransferProgress.h"

#include <cstdint>
#include <string>

namespace feedrail {

// A count of bytes as an operator reads it: "812 bytes", "13.6 kB", "41.0 MB".
std::string ByteCountText(std::uint64_t bytes);

// The figures of a transfer under way, alike in the window and in the
// service's status: "4.1 of 13.6 kB, 960 bytes/s, 10 s left" for a send,
// "3456 bytes, 960 bytes/s" for a receive. The rate and the time left come
// once there is a rate.
std::string ProgressFigures(const TransferProgress& progress);

} // namespace feedrail
