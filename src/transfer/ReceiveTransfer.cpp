#include "transfer/ReceiveTransfer.h"

#include "common/ControlChars.h"
#include "profiles/ProfileValues.h"
#include "transfer/ArrivedCharacters.h"
#include "transfer/LineErrorMessages.h"
#include "transfer/ReadySignal.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeLine.h"

namespace feedrail {
namespace {

using namespace std::chrono_literals;

using namespace ControlChar;
constexpr auto ProgressInterval = 250ms;

} // namespace

ReceiveTransfer::ReceiveTransfer(RunState& state, const ActiveSettings& settings,
                                 TVaCustomComm& port, const ReceiveHosts& hosts, SendTransfer& send)
    : state_(state), settings_(settings), port_(port), status_(hosts.Status),
      buttons_(hosts.ButtonRow), editor_(hosts.Editor), ui_(hosts.Ui), send_(send) {}

void ReceiveTransfer::ReceiveButtonClick() {
    state_.ReceivedLines = 1;
    state_.PercentSeen = false;
    // A send still waiting for the machine's XON ends here: that XON must
    // not send the lines received so far back to the machine.
    state_.WaitingForRemoteStart = false;
    state_.ReceiveOff = true;
    state_.FirstLinePending = true;
    state_.ReceiveLine.clear();
    editor_.ClearEditorAndFileName();
    state_.ReceivedUnsaved = false;
    state_.TxEnabled = false;
    port_.Close();
    port_.SetMonitorEvents(port_.MonitorEvents().Include(ceRxFlag).Include(ceRxChar));
    if (settings_.CommHandshake == HandshakeDtr) {
        port_.SetDTRControl(dtrEnable);
    }
    state_.ReceivePending = true;
    ui_.ArmCommOpenTimer();
    buttons_.DisableButtons();
    if (buttons_.ClearButtonReadsClear()) {
        buttons_.ShowStopButton();
    }
}

void ReceiveTransfer::ReceiveStart() {
    state_.ReceiveOff = false;
    state_.TxEnabled = false;
    state_.Receiving = true;
    running_ = true;
    bytesReceived_ = 0;
    linesReceived_ = 0;
    status_.ShowStatus("Waiting For Data");
    SignalReceiveReady(port_, settings_.CommHandshake);
}

void ReceiveTransfer::Comm1RxChar(int count) {
    if (state_.ReceiveOff) {
        return;
    }
    const bool read = ReadArrivedCharacters(
        port_, count, settings_.PunchType,
        [this](int bytes) {
            if (state_.Receiving) {
                bytesReceived_ += static_cast<std::uint64_t>(bytes);
            }
        },
        [this](char character) { TakeCharacter(character); });
    if (!read) {
        status_.ShowStatus("Error reading incoming data...");
        return;
    }
    Progress(false);
}

void ReceiveTransfer::Comm1Error(int errors) {
    for (const auto& [flag, message] : LineErrorMessages) {
        if ((static_cast<std::uint32_t>(errors) & flag) != 0) {
            status_.ShowStatus(message);
        }
    }
}

void ReceiveTransfer::TakeCharacter(char character) {
    switch (character) {
    case '\n':
    case '\r':
        EndLine();
        return;
    case Xon:
        status_.ShowStatus("xon");
        state_.XonState = true;
        if (state_.WaitingForRemoteStart) {
            send_.MachineReady();
        }
        return;
    case Dc2:
        status_.ShowStatus("Receiving Data");
        return;
    case Xoff:
        state_.XonState = false;
        status_.ShowStatus(state_.SendingWithXonXoff ? "Finished Sending" : "Finished Receiving");
        return;
    case Dc4:
        status_.ShowStatus("Finished Receiving");
        AddCollectedLine();
        state_.WaitingForRemoteStart = false;
        Ended();
        buttons_.EnableButtons();
        return;
    case LeaderChar:
        break;
    default:
        state_.ReceiveLine += character;
        break;
    }
    if (state_.PercentSeen && character == '%') {
        AddCollectedLine();
        status_.ShowStatus("Finished Receiving");
        Ended();
    }
    if (settings_.CommHandshake == HandshakeRtsCts && character == '%') {
        state_.PercentSeen = true;
    }
}

void ReceiveTransfer::EndLine() {
    if (!state_.TxEnabled) {
        editor_.AppendReceivedLine(state_.ReceiveLine);
        state_.ReceivedUnsaved = true;
        ++state_.ReceivedLines;
        ++linesReceived_;
    }
    state_.ReceiveLine.clear();
    if (state_.FirstLinePending) {
        state_.FirstLinePending = false;
        status_.ShowStatus("Receiving Data");
    }
}

// The line collected so far ends the program; it is added once.
void ReceiveTransfer::AddCollectedLine() {
    editor_.AppendReceivedLine(state_.ReceiveLine);
    state_.ReceivedUnsaved = true;
    state_.ReceiveLine.clear();
    ++linesReceived_;
    Progress(true);
}

// Bytes that come during a send are the machine's control characters, not a
// program: the progress text keeps showing the send.
void ReceiveTransfer::Progress(bool force) {
    if (!state_.Receiving) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (force || now - lastProgress_ >= ProgressInterval) {
        lastProgress_ = now;
        status_.ShowProgress("Received " + std::to_string(linesReceived_) + " lines, " +
                             std::to_string(bytesReceived_) + " bytes");
    }
}

// Only a running receive's own program counts, once: DC4 also comes at the
// end of sends, and after the closing "%" of an RTS/CTS receive.
void ReceiveTransfer::Ended() {
    if (ended_ && Running()) {
        ended_({{}, "receive", {}, linesReceived_, bytesReceived_, "completed"});
    }
    running_ = false;
}

} // namespace feedrail
