#pragma once

#include "session/LineStatus.h"
#include "session/TransferPhase.h"
#include "session/TransferProgress.h"
#include "transfer/Automation.h"
#include "transfer/TransferLog.h"

#include <chrono>
#include <optional>

namespace feedrail {

// What a machine's line is doing at one moment, in facts rather than words,
// for the service's status to say in its own.
struct LineSnapshot {
    TransferPhase Phase = TransferPhase::Starting;
    // A send has been asked for and not ended (the port reopening, the
    // machine's XON awaited, the program going out).
    bool Sending = false;
    bool PortOpen = false;
    // The port is open and its device server still being reached.
    bool Reaching = false;
    // Auto Receive or Remote Request listens.
    bool Listening = false;
    // A program the machine punches is being filed.
    std::optional<Automation::Collected> Collecting;
    // A requested program waits for the machine's XON.
    bool AwaitingXon = false;
    // A send runs and the machine's last word was its XOFF.
    bool PausedByMachine = false;
    // What the line told last; nothing until it has told something.
    std::optional<LineStatus> Status;
    // The transfer under way, or else the last one, as far as it came.
    std::optional<TransferProgress> Progress;
    // The last transfer recorded, and when it ended.
    std::optional<TransferRecord> LastTransfer;
    std::chrono::system_clock::time_point LastTransferAt{};
};

} // namespace feedrail
