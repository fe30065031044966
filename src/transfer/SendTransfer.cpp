#include "transfer/SendTransfer.h"

#include "profiles/LinePause.h"
#include "profiles/ProfileValues.h"
#include "transfer/ReadySignal.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeLine.h"

#include <string_view>
#include <utility>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

// How long a waiting loop lets the window breathe between its checks.
constexpr auto WaitSlice = 1ms;
// Progress is shown at most this often.
constexpr auto ProgressInterval = 250ms;

} // namespace

SendTransfer::SendTransfer(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                           const SendHosts& hosts)
    : state_(state), settings_(settings), port_(port), status_(hosts.Status), keys_(hosts.Keys),
      editor_(hosts.Editor), ui_(hosts.Ui), session_(hosts.Session), leader_(hosts.Leader) {}

void SendTransfer::SendButtonClick() {
    if (!Encodable() || !session_.RequestSend(true)) {
        return;
    }
    port_.Close();
    port_.SetMonitorEvents(port_.MonitorEvents().Include(ceRxFlag).Include(ceRxChar));
    ui_.ArmCommOpenTimer();
}

bool SendTransfer::RequestedSend() {
    if (!Encodable() || !session_.RequestSend(false)) {
        return false;
    }
    SendStart();
    if (session_.Phase() == TransferPhase::WaitingForRemoteStart) {
        state_.XonState = true;
        MachineReady();
    }
    return true;
}

// In EIA a character without a code would go out as a blank, changing the
// program unseen: the send does not start, and the operator is told where.
bool SendTransfer::Encodable() {
    if (settings_.PunchType != PunchEia) {
        return true;
    }
    const auto refuse = [this](const std::string& why) {
        status_.ShowStatus("Cannot send in EIA: " + why);
        state_.LinesSent = 0;
        bytesSent_ = 0;
        Ended("not sent: " + why);
        return false;
    };
    try {
        const int lines = editor_.EditorLineCount();
        for (int line = 1; line <= lines; ++line) {
            const std::string text = editor_.GetEditorLine(line);
            for (std::size_t at = 0; at < text.size(); ++at) {
                if (!HasTapeCode(text[at], PunchEia)) {
                    return refuse("line " + std::to_string(line) + ", column " +
                                  std::to_string(at + 1) + " holds \"" + text.substr(at, 1) +
                                  "\", which has no EIA code");
                }
            }
        }
    } catch (const std::exception& error) {
        // A program read from its file may change or fail under the look.
        return refuse(error.what());
    }
    return true;
}

void SendTransfer::MachineReady() {
    session_.SendRuns();
    // The send runs once the handler that saw the XON has returned, so that
    // the machine's later XOFF and XON reach it while it runs.
    ui_.Defer([this] { SendProgram(); });
}

void SendTransfer::MachinePaused() {
    status_.ShowStatus("Paused by the machine (XOFF)");
}

void SendTransfer::MachineResumed() {
    status_.ShowStatus("Sending Data - press esc to cancel");
}

void SendTransfer::MachineDeclined() {
    status_.ShowStatus("Send Cancelled");
    Ended("cancelled: the machine sent DC4");
    session_.TransferEnded();
}

void SendTransfer::LineLost(std::string status) {
    EndNow({std::move(status), "line lost", true});
}

void SendTransfer::Abandon(std::string status, std::string result) {
    EndNow({std::move(status), std::move(result), false});
}

bool SendTransfer::Cancel() {
    switch (session_.Phase()) {
    case TransferPhase::SendRequested:
    case TransferPhase::WaitingForRemoteStart:
        Cancelled();
        return true;
    case TransferPhase::Sending:
        // The loop may be handed over but not yet running: it sees the
        // request at its first look either way.
        state_.CancelRequested = true;
        return true;
    default:
        return false;
    }
}

void SendTransfer::EndNow(Ending ending) {
    if (!session_.Sending()) {
        return;
    }
    ending_ = std::move(ending);
    if (running_) {
        // The loop ends at its next look.
        state_.CancelRequested = true;
        return;
    }
    Cancelled();
}

void SendTransfer::SendStart() {
    const std::int32_t handshake = settings_.CommHandshake;
    state_.SendingWithXonXoff = handshake == HandshakeXonXoff;
    status_.ShowStatus(handshake == HandshakeXonXoff ? "Waiting for Remote Start"
                                                     : "Sending Data - press esc to cancel");
    state_.LinesSent = 0;
    bytesSent_ = 0;
    if (handshake == HandshakeDriverXonXoff) {
        SignalReady(port_);
        state_.ReceiveOff = false;
    }
    switch (handshake) {
    case HandshakeRtsCts:
        state_.XonState = true;
        state_.TxEnabled = false;
        status_.ShowStatus("Waiting for Remote Start-press esc to cancel");
        state_.FirstCtsCheck = true;
        session_.SendRuns();
        SendProgram();
        break;
    case HandshakeXonXoff:
        state_.XonState = false;
        state_.ReceiveOff = false;
        session_.WaitForMachine();
        SignalReady(port_);
        break;
    case HandshakeDtr:
        port_.SetDTRControl(dtrEnable);
        state_.XonState = true;
        session_.SendRuns();
        SendProgram();
        break;
    default:
        state_.XonState = true;
        session_.SendRuns();
        SendProgram();
        break;
    }
}

void SendTransfer::SendProgram() {
    running_ = true;
    try {
        SendLines();
    } catch (const std::exception& error) {
        running_ = false;
        Ended(error.what());
        session_.TransferEnded();
        throw;
    } catch (...) {
        running_ = false;
        session_.TransferEnded();
        throw;
    }
    running_ = false;
}

void SendTransfer::SendLines() {
    // An Esc left over from before this send is not meant for it.
    keys_.ForgetEscape();
    state_.TxEnabled = true;
    bool percentLineSent = false;
    bool cancelled = false;
    const int lines = editor_.EditorLineCount();
    for (int line = 1; line <= lines; ++line) {
        if (LineStart() == Gate::Cancelled) {
            // A send ended from outside takes no trailer.
            if (ending_) {
                Cancelled();
                return;
            }
            status_.ShowStatus("Sending Canceled");
            cancelled = true;
            break;
        }
        editor_.HighlightEditorLine(line);
        const std::string text = editor_.GetEditorLine(line);
        const std::string bytes =
            TapeLineBytes(text, settings_.PunchType, settings_.EOB, leader_());
        if (++state_.LinesSent == 2) {
            status_.ShowStatus("Sending Data - press esc to cancel");
        }
        Progress(line, lines, false);
        for (const char byte : bytes) {
            if (ByteGate() == Gate::Cancelled) {
                Cancelled();
                return;
            }
            if (state_.TxEnabled) {
                WriteByte(byte);
            }
            if (text == "%" && percentLineSent) {
                Finish();
                return;
            }
        }
        percentLineSent = percentLineSent || text.find('%') != std::string::npos;
        // Esc during the pause cancels the send at the next line start.
        Pause();
    }
    Finish(cancelled ? "cancelled" : "completed");
}

// CTS gates only a running send: during a receive TxEnabled keeps the
// received lines flowing into the editor.
void SendTransfer::Comm1Cts() {
    if (settings_.CommHandshake == HandshakeRtsCts && running_) {
        state_.TxEnabled = port_.Cts();
    }
}

SendTransfer::Gate SendTransfer::WaitUntil(const std::function<bool()>& ready) {
    for (;;) {
        // The poll runs what is pending, a line lost among it: the cancel it
        // leaves is seen before the next byte goes to a closed port.
        const bool escape = keys_.EscapePressed();
        if (escape || state_.CancelRequested) {
            state_.CancelRequested = true;
            return Gate::Cancelled;
        }
        if (ready()) {
            return Gate::Open;
        }
        keys_.Idle(WaitSlice);
    }
}

SendTransfer::Gate SendTransfer::LineStart() {
    return WaitUntil(
        [this] { return settings_.CommHandshake != HandshakeXonXoff || state_.XonState; });
}

// Waits until the byte may go: the machine's flow control, and the first
// byte's fresh look at CTS.
SendTransfer::Gate SendTransfer::ByteGate() {
    return WaitUntil([this] {
        if (HeldByMachine()) {
            return false;
        }
        if (state_.FirstCtsCheck) {
            state_.FirstCtsCheck = false;
            state_.TxEnabled = port_.Cts();
            return state_.TxEnabled;
        }
        return true;
    });
}

bool SendTransfer::HeldByMachine() {
    switch (settings_.CommHandshake) {
    case HandshakeRtsCts:
        state_.TxEnabled = port_.Cts();
        return !state_.TxEnabled;
    case HandshakeDtr:
        // The machine's DTR, our DSR, says whether it takes data.
        return !port_.Dsr();
    case HandshakeXonXoff:
        // The machine's XOFF stops the send before the next byte, not only at
        // the next line: controls allow only a few characters after it.
        return !state_.XonState;
    default:
        return false;
    }
}

void SendTransfer::WriteByte(char byte) {
    port_.WriteBuf(&byte, 1);
    ++bytesSent_;
}

void SendTransfer::Pause() {
    const auto pause = LinePause(settings_.PunchWait);
    if (pause > 0ns) {
        using Clock = std::chrono::steady_clock;
        const auto now = Clock::now();
        // The longest pauses end only with Esc: the clock cannot count to them.
        const auto end =
            pause >= Clock::time_point::max() - now ? Clock::time_point::max() : now + pause;
        WaitUntil([end] { return std::chrono::steady_clock::now() >= end; });
    }
}

void SendTransfer::Finish(const char* result) {
    if (leader_()) {
        for (const char byte : TapeTrailer()) {
            WriteByte(byte);
        }
    }
    // A device server that has stopped taking the program has not had it
    // sent: the send waits until its TCP has acknowledged the last byte, or
    // until the connection is given up and the loss ends the send.
    if (std::string_view(result) == "completed" &&
        WaitUntil([this] { return port_.OutputDelivered(); }) == Gate::Cancelled) {
        Cancelled();
        return;
    }
    Progress(state_.LinesSent, editor_.EditorLineCount(), true);
    status_.ShowStatus("Finished Send");
    ending_.reset();
    Ended(result);
    session_.TransferEnded();
}

void SendTransfer::Cancelled() {
    const std::optional<Ending> ending = std::exchange(ending_, std::nullopt);
    if (port_.Active() && !(ending && ending->LineGone)) {
        port_.PurgeWrite();
    }
    status_.ShowStatus(ending ? ending->Status : "Send Cancelled");
    Ended(ending ? ending->Result : "cancelled");
    session_.TransferEnded();
}

void SendTransfer::Ended(std::string result) {
    if (ended_) {
        ended_({{}, "send", state_.CurrentFile, state_.LinesSent, bytesSent_, std::move(result)});
    }
}

void SendTransfer::Progress(int line, int lines, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (force || line == 1 || now - lastProgress_ >= ProgressInterval) {
        lastProgress_ = now;
        status_.ShowProgress("Sent " + std::to_string(line) + " of " + std::to_string(lines) +
                             " lines");
    }
}

} // namespace feedrail
