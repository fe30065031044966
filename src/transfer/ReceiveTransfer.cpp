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
    : state_(state), settings_(settings), port_(port), status_(hosts.Status), editor_(hosts.Editor),
      ui_(hosts.Ui), session_(hosts.Session), send_(send) {}

void ReceiveTransfer::ReceiveButtonClick() {
    if (!session_.RequestReceive()) {
        return;
    }
    state_.ReceivedLines = 1;
    state_.PercentSeen = false;
    state_.FirstLinePending = true;
    state_.ReceiveLine.clear();
    editor_.ClearEditorAndFileName();
    // The editor no longer holds the file loaded before.
    state_.CurrentFile.clear();
    state_.ReceivedUnsaved = false;
    state_.TxEnabled = false;
    port_.Close();
    port_.SetMonitorEvents(port_.MonitorEvents().Include(ceRxFlag).Include(ceRxChar));
    if (settings_.CommHandshake == HandshakeDtr) {
        port_.SetDTRControl(dtrEnable);
    }
    ui_.ArmCommOpenTimer();
}

void ReceiveTransfer::ReceiveStart() {
    session_.ReceiveRuns();
    state_.TxEnabled = false;
    running_ = true;
    bytesReceived_ = 0;
    linesReceived_ = 0;
    status_.ShowStatus("Waiting For Data");
    SignalReceiveReady(port_, settings_.CommHandshake);
}

// Outside a transfer what the machine sends is read and dropped: it reaches
// neither the editor nor the status line, where the outcome of the last
// transfer stays readable.
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
        [this](char character) {
            // What follows the end of a tape in the same batch is no part of it.
            if (session_.Sending()) {
                SendControl(character);
            } else if (session_.Receiving()) {
                TakeCharacter(character);
            }
        },
        [this] { return session_.Sending(); });
    if (!read) {
        status_.ShowStatus("Error reading incoming data...");
        return;
    }
    Progress(false);
}

// During a send only the machine's XON and XOFF count: text never joins the
// program in the editor, and a DC4 ends only a send that still waits for the
// machine's XON.
void ReceiveTransfer::SendControl(char character) {
    if (character == Xon) {
        const bool paused = !state_.XonState;
        state_.XonState = true;
        if (session_.Phase() == TransferPhase::WaitingForRemoteStart) {
            status_.ShowStatus("xon");
            send_.MachineReady();
        } else if (paused && send_.Running()) {
            send_.MachineResumed();
        }
    } else if (character == Xoff) {
        state_.XonState = false;
        if (send_.Running()) {
            send_.MachinePaused();
        }
    } else if (character == Dc4 && session_.Phase() == TransferPhase::WaitingForRemoteStart) {
        send_.MachineDeclined();
    }
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
        EndLine();
        return;
    case '\r':
        // ISO's CR (CR LF, LF CR CR) is no part of a line: LF ends it.
        return;
    case Xon:
        status_.ShowStatus("xon");
        state_.XonState = true;
        return;
    case Dc2:
        if (linesReceived_ > 0 || !state_.ReceiveLine.empty()) {
            PunchRestarted();
        }
        status_.ShowStatus("Receiving Data");
        return;
    case Xoff:
        // A control stops its reader between blocks too: the program goes on
        // until DC4 or its closing "%", so the status stays on the receive.
        state_.XonState = false;
        return;
    case Dc4:
        status_.ShowStatus("Finished Receiving");
        AddCollectedLine();
        Ended();
        return;
    case LeaderChar:
        return;
    default:
        TakeText(character);
        return;
    }
}

// Under RTS/CTS a "%" line after the first ends the program; a "%" within a
// line ("(SPINDLE 80%)") is text.
void ReceiveTransfer::TakeText(char character) {
    const bool percentLine =
        character == '%' && state_.ReceiveLine.find_first_not_of(" \t") == std::string::npos;
    state_.ReceiveLine += character;
    if (settings_.CommHandshake != HandshakeRtsCts || !percentLine) {
        return;
    }
    if (state_.PercentSeen) {
        AddCollectedLine();
        status_.ShowStatus("Finished Receiving");
        Ended();
        return;
    }
    state_.PercentSeen = true;
}

// A machine that starts its punch again (a new DC2) sends the whole program
// again: the part before is dropped rather than joined to it.
void ReceiveTransfer::PunchRestarted() {
    editor_.ClearEditorAndFileName();
    state_.ReceiveLine.clear();
    state_.ReceivedLines = 1;
    state_.FirstLinePending = true;
    state_.PercentSeen = false;
    linesReceived_ = 0;
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

void ReceiveTransfer::Progress(bool force) {
    if (!state_.Receiving) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (force || now - lastProgress_ >= ProgressInterval) {
        ShowProgress();
    } else if (!progressHeld_) {
        progressHeld_ = true;
        ui_.After(ProgressInterval, [this] {
            if (progressHeld_ && !session_.Sending()) {
                ShowProgress();
            }
        });
    }
}

void ReceiveTransfer::ShowProgress() {
    progressHeld_ = false;
    lastProgress_ = std::chrono::steady_clock::now();
    status_.ShowProgress("Received " + std::to_string(linesReceived_) + " lines, " +
                         std::to_string(bytesReceived_) + " bytes");
}

void ReceiveTransfer::LineLost() {
    if (!session_.Receiving()) {
        return;
    }
    if (!state_.ReceiveLine.empty()) {
        AddCollectedLine();
    }
    ShowProgress();
    if (ended_ && running_) {
        ended_({{}, "receive", {}, linesReceived_, bytesReceived_, "line lost"});
    }
    running_ = false;
    session_.TransferEnded();
}

// Only a running receive's own program counts, once.
void ReceiveTransfer::Ended() {
    if (ended_ && Running()) {
        ended_({{}, "receive", {}, linesReceived_, bytesReceived_, "completed"});
    }
    running_ = false;
    session_.TransferEnded();
}

} // namespace feedrail
