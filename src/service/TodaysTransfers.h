#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace feedrail {

// One machine's transfers of the day `now` falls on (local time), from the
// transfer log at `logPath`, as a JSON array, oldest first: time,
// direction, file (its name only), lines, bytes and result. Only the log's
// last MaxRead bytes are read, however long it has grown; a log that cannot
// be read has no transfers.
std::string TodaysTransfersJson(const std::string& logPath, const std::string& machine,
                                std::chrono::system_clock::time_point now);

inline constexpr std::size_t MaxTransferLogRead = 4 * 1024 * 1024;

} // namespace feedrail
