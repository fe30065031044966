#pragma once

#include "app/RunState.h"
#include "profiles/ActiveSettings.h"
#include "serial/TVaCustomComm.h"
#include "transfer/SendTransfer.h"
#include "transfer/TransferHost.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <utility>

namespace feedrail {

// Receiving a program the machine punches, and the machine's control
// characters during any transfer: XON starts a send that waits for it.
class ReceiveTransfer {
public:
    // The status texts of the platform's line-error flags, in the order they
    // are shown; with several flags the last one set stays visible.
    static const std::array<std::pair<std::uint32_t, const char*>, 11> LineErrorMessages;

    ReceiveTransfer(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                    TransferHost& host, SendTransfer& send);

    void ReceiveButtonClick();
    // Runs when the port has been reopened for a requested receive.
    void ReceiveStart();
    void Comm1RxChar(int count);
    void Comm1Error(int errors);

private:
    void TakeCharacter(char character);
    void EndLine();
    void AddCollectedLine();
    void Progress(bool force);

    RunState& state_;
    const ActiveSettings& settings_;
    TVaCustomComm& port_;
    TransferHost& host_;
    SendTransfer& send_;
    std::uint64_t bytesReceived_ = 0;
    int linesReceived_ = 0;
    std::chrono::steady_clock::time_point lastProgress_{};
};

} // namespace feedrail
