#pragma once

#include "profiles/ActiveSettings.h"
#include "serial/TVaCustomComm.h"
#include "session/ReceivedLines.h"
#include "session/RunState.h"
#include "session/TransferSession.h"
#include "transfer/SendTransfer.h"
#include "transfer/TapeLineAssembler.h"
#include "transfer/TransferLog.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>

namespace feedrail {

// What a receive needs of the window.
struct ReceiveHosts {
    StatusLine& Status;
    // The editor a receive fills; none in the service, which has no Receive.
    ReceivedLines* Editor;
    UiHandOver& Ui;
    TransferSession& Session;
};

// Receiving a program the machine punches; during a send under Xon/Xoff it
// reads the machine's characters for the send (SendTransfer::MachineControl).
class ReceiveTransfer {
public:
    ReceiveTransfer(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                    const ReceiveHosts& hosts, SendTransfer& send);

    void ReceiveButtonClick();
    // Runs when the port has been reopened for a requested receive.
    void ReceiveStart();
    void Comm1RxChar(int count);
    void Comm1Error(int errors);
    // The device went: a receive ends with every line that came, the one
    // begun included.
    void LineLost();
    // A receive has started and neither DC4 nor its closing "%", a send nor
    // Stop has ended it.
    bool Running() const { return running_ && session_.Phase() == TransferPhase::Receiving; }
    // Called when DC4 or the closing "%" ends a received program.
    void OnEnded(std::function<void(TransferRecord)> ended) { ended_ = std::move(ended); }

private:
    void TakeCharacter(char character);
    void TakeText(char character);
    void LineTooLong();
    void PunchRestarted();
    void EndLine();
    void AddCollectedLine();
    void Progress(bool force);
    void ShowProgress();
    void Ended(const char* result = "completed");

    RunState& state_;
    const ActiveSettings& settings_;
    TVaCustomComm& port_;
    StatusLine& status_;
    ReceivedLines* editor_;
    UiHandOver& ui_;
    TransferSession& session_;
    SendTransfer& send_;
    std::uint64_t bytesReceived_ = 0;
    int linesReceived_ = 0;
    std::chrono::steady_clock::time_point lastProgress_{};
    std::chrono::steady_clock::time_point firstByte_{};
    std::function<void(TransferRecord)> ended_;
    bool running_ = false;
    // The first "%" line of an RTS/CTS receive has come: the next ends it.
    bool percentSeen_ = false;
    bool firstLinePending_ = true;
    TapeLineAssembler line_;
    // A progress text held back by the limit is shown when the limit ends.
    bool progressHeld_ = false;
};

} // namespace feedrail
