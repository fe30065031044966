#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace feedrail {

inline constexpr std::string_view TransferLogName = "feedrail-transfers.log";

// One transfer as the log keeps it.
struct TransferRecord {
    std::string Machine;
    std::string Direction; // "send", "receive" or "request"
    std::string File;      // empty for a program that went only into the editor
    std::int64_t Lines = 0;
    std::uint64_t Bytes = 0;
    // "completed", "cancelled", "not found" or an error text; a send from a
    // chosen block adds where it started: "completed from line 57 (T3 M6)".
    std::string Result;
};

// "2026-12-08 07:45:12<TAB>Fanuc 16 Mill<TAB>send<TAB>/nc/O1000.nc<TAB>12 lines
// <TAB>345 bytes<TAB>completed" and a line feed, in local time. Tabs and line
// breaks inside a field become blanks, so that each record stays one line of
// the same columns.
std::string TransferLogLine(const TransferRecord& record,
                            std::chrono::system_clock::time_point when);

// Appends `line` to the log file at `path` in one write, so that lines of
// programs writing at the same moment never mix. Returns 0 or the errno.
int AppendTransferLog(const std::string& path, std::string_view line);

} // namespace feedrail
