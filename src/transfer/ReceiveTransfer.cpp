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
// No control's block comes near this: a line this long is a tape read in
// the wrong code or a runaway punch, and held whole it would cost the
// editor minutes.
constexpr std::size_t LongestLine = 1 << 20;

} // namespace

ReceiveTransfer::ReceiveTransfer(RunState& state, const ActiveSettings& settings,
                                 TVaCustomComm& port, const ReceiveHosts& hosts, SendTransfer& send)
    : state_(state), settings_(settings), port_(port), status_(hosts.Status), editor_(hosts.Editor),
      ui_(hosts.Ui), session_(hosts.Session), send_(send), line_(LongestLine + 1) {}

void ReceiveTransfer::ReceiveButtonClick() {
    if (editor_ == nullptr || !session_.RequestReceive()) {
        return;
    }
    state_.ReceivedLines = 1;
    percentSeen_ = false;
    firstLinePending_ = true;
    line_.Clear();
    editor_->ClearEditorAndFileName();
    // The editor no longer holds the file loaded before.
    state_.CurrentFile.clear();
    state_.ReceivedUnsaved = false;
    port_.Close();
    port_.SetMonitorEvents(port_.MonitorEvents().Include(ceRxFlag).Include(ceRxChar));
    if (settings_.CommHandshake == HandshakeDtr) {
        port_.SetDTRControl(dtrEnable);
    }
    ui_.ArmCommOpenTimer();
}

void ReceiveTransfer::ReceiveStart() {
    session_.ReceiveRuns();
    running_ = true;
    bytesReceived_ = 0;
    linesReceived_ = 0;
    status_.ShowStatus({.Code = StatusCode::WaitingForData});
    SignalReceiveReady(port_, settings_.CommHandshake);
}

// Only a receive and a send under Feedrail's Xon/Xoff read what the machine
// sends. Otherwise it waits in the port: for Auto Receive or Remote Request
// once a transfer has ended (a control may ask for its next program the
// moment it has the last), or for the port's reopening, which drops it; it
// never reaches the editor or the status line, where the outcome of the last
// transfer stays readable.
void ReceiveTransfer::Comm1RxChar(int count) {
    const bool sendListens = session_.Sending() && settings_.CommHandshake == HandshakeXonXoff;
    if (!sendListens && session_.Phase() != TransferPhase::Receiving) {
        return;
    }
    const bool read = ReadArrivedCharacters(
        port_, count, settings_.PunchType,
        [this](int bytes) {
            if (state_.Receiving) {
                if (bytesReceived_ == 0) {
                    firstByte_ = std::chrono::steady_clock::now();
                }
                bytesReceived_ += static_cast<std::uint64_t>(bytes);
            }
        },
        [this](char character) {
            if (session_.Sending()) {
                // With the whole tape handed over, the machine may have had
                // it all: what it sends then besides its flow control is its
                // next punch or request, left in the port for Auto Receive.
                if (send_.AllHanded() && character != Xon && character != Xoff) {
                    return false;
                }
                send_.MachineControl(character);
            } else if (session_.Phase() == TransferPhase::Receiving) {
                // What follows the end of a tape in the same batch is no
                // part of it.
                TakeCharacter(character);
            }
            return true;
        },
        [this] { return session_.Sending(); });
    if (!read) {
        status_.ShowStatus({.Code = StatusCode::ReadFailed});
        return;
    }
    Progress(false);
}

void ReceiveTransfer::Comm1Error(int errors) {
    for (const auto& [flag, message] : LineErrorMessages) {
        if ((static_cast<std::uint32_t>(errors) & flag) != 0) {
            status_.ShowStatus({.Code = StatusCode::LineError, .LineErrorFlag = flag});
        }
    }
}

void ReceiveTransfer::TakeCharacter(char character) {
    switch (character) {
    case '\n':
        EndLine();
        return;
    case Xon:
        status_.ShowStatus({.Code = StatusCode::MachineXon});
        return;
    case Dc2:
        if (linesReceived_ > 0 || !line_.Held().empty()) {
            PunchRestarted();
        }
        status_.ShowStatus({.Code = StatusCode::Receiving});
        return;
    case Xoff:
        // A control stops its reader between blocks too: the program goes on
        // until DC4 or its closing "%", so the status stays on the receive.
        return;
    case Dc4:
        status_.ShowStatus({.Code = StatusCode::ReceiveFinished});
        AddCollectedLine();
        Ended();
        return;
    default:
        // ISO's CR (CR LF, LF CR CR) is no part of a line: LF ends it.
        if (!TapeLineAssembler::NoPartOfALine(character)) {
            TakeText(character);
        }
        return;
    }
}

// Under RTS/CTS a "%" line after the first ends the program; a "%" within a
// line ("(SPINDLE 80%)") is text.
void ReceiveTransfer::TakeText(char character) {
    const bool percentLine = character == '%' && line_.Blank();
    if (line_.Add(character)) {
        LineTooLong();
        return;
    }
    if (settings_.CommHandshake != HandshakeRtsCts || !percentLine) {
        return;
    }
    if (percentSeen_) {
        AddCollectedLine();
        status_.ShowStatus({.Code = StatusCode::ReceiveFinished});
        Ended();
        return;
    }
    percentSeen_ = true;
}

// The line so far is kept; the receive ends there.
void ReceiveTransfer::LineTooLong() {
    const int number = linesReceived_ + 1;
    AddCollectedLine();
    status_.ShowStatus({.Code = StatusCode::LineTooLong, .Line = number});
    Ended("line too long");
}

// A machine that starts its punch again (a new DC2) sends the whole program
// again: the part before is dropped rather than joined to it.
void ReceiveTransfer::PunchRestarted() {
    editor_->ClearEditorAndFileName();
    line_.Clear();
    state_.ReceivedLines = 1;
    firstLinePending_ = true;
    percentSeen_ = false;
    linesReceived_ = 0;
}

void ReceiveTransfer::EndLine() {
    editor_->AppendReceivedLine(line_.TakeLine());
    state_.ReceivedUnsaved = true;
    ++state_.ReceivedLines;
    ++linesReceived_;
    if (firstLinePending_) {
        firstLinePending_ = false;
        status_.ShowStatus({.Code = StatusCode::Receiving});
    }
}

// The line collected so far ends the program; it is added once.
void ReceiveTransfer::AddCollectedLine() {
    editor_->AppendReceivedLine(line_.TakeLine());
    state_.ReceivedUnsaved = true;
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
    const auto elapsed =
        bytesReceived_ == 0
            ? std::chrono::milliseconds(0)
            : std::chrono::duration_cast<std::chrono::milliseconds>(lastProgress_ - firstByte_);
    status_.ShowProgress(
        {TransferProgress::Way::Receive, linesReceived_, 0, bytesReceived_, 0, elapsed});
}

void ReceiveTransfer::LineLost() {
    if (!session_.Receiving()) {
        return;
    }
    if (!line_.Held().empty()) {
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
void ReceiveTransfer::Ended(const char* result) {
    if (ended_ && Running()) {
        ended_({{}, "receive", {}, linesReceived_, bytesReceived_, result});
    }
    running_ = false;
    session_.TransferEnded();
}

} // namespace feedrail
