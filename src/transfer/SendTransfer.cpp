#include "transfer/SendTransfer.h"

#include "transfer/ReadySignal.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeLine.h"

namespace feedrail {
namespace {

using namespace std::chrono_literals;

// How long a waiting loop lets the window breathe between its checks.
constexpr auto WaitSlice = 1ms;
// Progress is shown at most this often.
constexpr auto ProgressInterval = 250ms;

enum Handshake : std::int32_t { XonXoff = 0, None = 1, DriverXonXoff = 2, Dtr = 3, RtsCts = 4 };

} // namespace

SendTransfer::SendTransfer(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                           TransferHost& host)
    : state_(state), settings_(settings), port_(port), host_(host) {}

void SendTransfer::SendButtonClick() {
    state_.CancelRequested = false;
    state_.ReceiveOff = true;
    host_.DisableButtons();
    port_.Close();
    port_.SetMonitorEvents(port_.MonitorEvents().Include(ceRxFlag).Include(ceRxChar));
    state_.SendPending = true;
    host_.ArmCommOpenTimer();
    host_.ShowStopButton();
}

void SendTransfer::SendStart() {
    const std::int32_t handshake = settings_.CommHandshake;
    state_.SendingWithXonXoff = handshake == XonXoff;
    host_.ShowStatus(handshake == XonXoff ? "Waiting for Remote Start"
                                          : "Sending Data - press esc to cancel");
    state_.LinesSent = 0;
    if (handshake == DriverXonXoff) {
        SignalReady(port_);
        state_.ReceiveOff = false;
    }
    switch (handshake) {
    case RtsCts:
        state_.XonState = true;
        state_.WaitingForRemoteStart = false;
        state_.TxEnabled = false;
        host_.ShowStatus("Waiting for Remote Start-press esc to cancel");
        state_.FirstCtsCheck = true;
        SendProgram();
        break;
    case XonXoff:
        state_.XonState = false;
        state_.WaitingForRemoteStart = true;
        state_.ReceiveOff = false;
        SignalReady(port_);
        break;
    case Dtr:
        port_.SetDTRControl(dtrEnable);
        state_.XonState = true;
        SendProgram();
        break;
    default:
        state_.XonState = true;
        SendProgram();
        break;
    }
}

void SendTransfer::SendProgram() {
    state_.TxEnabled = true;
    bool percentLineSent = false;
    const int lines = host_.EditorLineCount();
    for (int line = 1; line <= lines; ++line) {
        if (LineStart() == Gate::Cancelled) {
            host_.ShowStatus("Sending Canceled");
            host_.EnableButtons();
            break;
        }
        host_.HighlightEditorLine(line);
        const std::string text = host_.GetEditorLine(line);
        const std::string bytes =
            TapeLineBytes(text, settings_.PunchType, settings_.EOB, host_.Leader());
        if (++state_.LinesSent == 2) {
            host_.ShowStatus("Sending Data - press esc to cancel");
        }
        Progress(line, lines, false);
        for (const char byte : bytes) {
            if (ByteGate() == Gate::Cancelled) {
                host_.ShowStatus("Send Cancelled");
                host_.EnableButtons();
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
        Pause();
    }
    Finish();
}

void SendTransfer::Comm1Cts() {
    if (settings_.CommHandshake == RtsCts) {
        state_.TxEnabled = port_.GetModemState(1);
    }
}

std::chrono::microseconds SendTransfer::LinePause(std::int32_t punchWait) {
    if (punchWait <= 0) {
        return 0us;
    }
    const auto steps = static_cast<std::int64_t>(punchWait);
    return std::chrono::microseconds(steps * steps * steps);
}

SendTransfer::Gate SendTransfer::LineStart() {
    for (;;) {
        if (state_.CancelRequested || host_.EscapePressed()) {
            state_.CancelRequested = true;
            return Gate::Cancelled;
        }
        if (settings_.CommHandshake != XonXoff || state_.XonState) {
            return Gate::Open;
        }
        host_.Idle(WaitSlice);
    }
}

// Waits until the byte may go: the machine's flow control, and the first
// byte's fresh look at CTS. Esc ends the wait.
SendTransfer::Gate SendTransfer::ByteGate() {
    for (;;) {
        if (state_.CancelRequested || host_.EscapePressed()) {
            state_.CancelRequested = true;
            return Gate::Cancelled;
        }
        if (HeldByMachine()) {
            host_.Idle(WaitSlice);
            continue;
        }
        if (state_.FirstCtsCheck) {
            state_.FirstCtsCheck = false;
            state_.TxEnabled = port_.GetModemState(1);
            if (!state_.TxEnabled) {
                continue;
            }
        }
        return Gate::Open;
    }
}

bool SendTransfer::HeldByMachine() {
    switch (settings_.CommHandshake) {
    case RtsCts:
        state_.TxEnabled = port_.GetModemState(1);
        return !state_.TxEnabled;
    case Dtr:
        // The machine's DTR, our DSR, says whether it takes data.
        return !port_.GetModemState(2);
    case XonXoff:
        // The machine's XOFF stops the send before the next byte, not only at
        // the next line: controls allow only a few characters after it.
        return !state_.XonState;
    default:
        return false;
    }
}

void SendTransfer::WriteByte(char byte) {
    port_.WriteBuf(&byte, 1);
}

void SendTransfer::Pause() {
    const auto pause = LinePause(settings_.PunchWait);
    const auto until = std::chrono::steady_clock::now() + pause;
    while (std::chrono::steady_clock::now() < until) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        host_.Idle(std::clamp<std::chrono::milliseconds>(left, 0ms, 10ms));
    }
}

void SendTransfer::Finish() {
    if (host_.Leader()) {
        for (const char byte : TapeTrailer()) {
            WriteByte(byte);
        }
    }
    Progress(state_.LinesSent, host_.EditorLineCount(), true);
    host_.ShowStatus("Finished Send");
    host_.EnableButtons();
}

void SendTransfer::Progress(int line, int lines, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (force || line == 1 || now - lastProgress_ >= ProgressInterval) {
        lastProgress_ = now;
        host_.ShowProgress("Sent " + std::to_string(line) + " of " + std::to_string(lines) +
                           " lines");
    }
}

} // namespace feedrail
