#include "transfer/ReceiveTransfer.h"

#include "serial/EVaCommError.h"
#include "transfer/ReadySignal.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeLine.h"

#include <algorithm>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

constexpr char Xon = 0x11;
constexpr char Dc2 = 0x12;
constexpr char Xoff = 0x13;
constexpr int ReadChunk = 2048;
constexpr auto ProgressInterval = 250ms;
constexpr std::int32_t XonXoffHandshake = 0;
constexpr std::int32_t DtrHandshake = 3;
constexpr std::int32_t RtsCtsHandshake = 4;

} // namespace

const std::array<std::pair<std::uint32_t, const char*>, 11> ReceiveTransfer::LineErrorMessages{{
    {0x0010, "The hardware detected a break condition."},
    {0x0800, "A parallel device is not selected."},
    {0x0008, "The hardware detected a framing error."},
    {0x0400, "An I/O error occurred during communications with the device."},
    {0x8000, "The requested mode is not supported"},
    {0x1000, "Windows 95 only: A parallel device signaled that it is out of paper."},
    {0x0002, "A character-buffer overrun has occurred. The next character is lost."},
    {0x0200, "A time-out occurred on a parallel device."},
    {0x0001, "An input buffer overflow has occurred. There is either no"},
    {0x0004, "The hardware detected a parity error."},
    {0x0100, "buffer was full."},
}};

ReceiveTransfer::ReceiveTransfer(RunState& state, const ActiveSettings& settings,
                                 TVaCustomComm& port, TransferHost& host, SendTransfer& send)
    : state_(state), settings_(settings), port_(port), host_(host), send_(send) {}

void ReceiveTransfer::ReceiveButtonClick() {
    state_.ReceivedLines = 1;
    state_.PercentSeen = false;
    state_.ReceiveOff = true;
    state_.FirstLinePending = true;
    state_.ReceiveLine.clear();
    host_.ClearEditorAndFileName();
    state_.ReceivedUnsaved = false;
    state_.TxEnabled = false;
    port_.Close();
    port_.SetMonitorEvents(port_.MonitorEvents().Include(ceRxFlag).Include(ceRxChar));
    if (settings_.CommHandshake == DtrHandshake) {
        port_.SetDTRControl(dtrEnable);
    }
    state_.ReceivePending = true;
    host_.ArmCommOpenTimer();
    host_.DisableButtons();
    if (host_.ClearButtonReadsClear()) {
        host_.ShowStopButton();
    }
}

void ReceiveTransfer::ReceiveStart() {
    state_.ReceiveOff = false;
    state_.TxEnabled = false;
    bytesReceived_ = 0;
    linesReceived_ = 0;
    host_.ShowStatus("Waiting For Data");
    port_.SetDTR(true);
    if (settings_.CommHandshake == RtsCtsHandshake) {
        port_.SetRTS(true);
        port_.SetRTSControl(rtsHandshake);
    }
    if (settings_.CommHandshake == XonXoffHandshake) {
        SignalReady(port_);
    }
}

void ReceiveTransfer::Comm1RxChar(int count) {
    if (state_.ReceiveOff) {
        return;
    }
    // Everything queued when the event came, in chunks that fit the buffer,
    // in the order it arrived.
    char buffer[ReadChunk + 1];
    int left = count;
    while (left > 0) {
        int read = 0;
        try {
            read = port_.ReadBuf(buffer, std::min(left, ReadChunk));
        } catch (const EVaCommError&) {
            host_.ShowStatus("Error reading incoming data...");
            return;
        }
        if (read <= 0) {
            break;
        }
        left -= read;
        bytesReceived_ += static_cast<std::uint64_t>(read);
        for (int i = 0; i < read; ++i) {
            if (const auto character =
                    DecodeTapeByte(static_cast<unsigned char>(buffer[i]), settings_.PunchType)) {
                TakeCharacter(*character);
            }
        }
    }
    Progress(false);
}

void ReceiveTransfer::Comm1Error(int errors) {
    for (const auto& [flag, message] : LineErrorMessages) {
        if ((static_cast<std::uint32_t>(errors) & flag) != 0) {
            host_.ShowStatus(message);
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
        host_.ShowStatus("xon");
        state_.XonState = true;
        if (state_.WaitingForRemoteStart) {
            state_.WaitingForRemoteStart = false;
            host_.DisableClearButton();
            // The send runs once this handler has returned, so that the
            // machine's later XOFF and XON reach it while it runs.
            host_.Defer([this] { send_.SendProgram(); });
        }
        return;
    case Dc2:
        host_.ShowStatus("Receiving Data");
        return;
    case Xoff:
        state_.XonState = false;
        host_.ShowStatus(state_.SendingWithXonXoff ? "Finished Sending" : "Finished Receiving");
        return;
    case Dc4:
        host_.ShowStatus("Finished Receiving");
        AddCollectedLine();
        host_.EnableButtons();
        return;
    case LeaderChar:
        break;
    default:
        state_.ReceiveLine += character;
        break;
    }
    if (state_.PercentSeen && character == '%') {
        AddCollectedLine();
        host_.ShowStatus("Finished Receiving");
    }
    if (settings_.CommHandshake == RtsCtsHandshake && character == '%') {
        state_.PercentSeen = true;
    }
}

void ReceiveTransfer::EndLine() {
    if (!state_.TxEnabled) {
        host_.AppendReceivedLine(state_.ReceiveLine);
        state_.ReceivedUnsaved = true;
        ++state_.ReceivedLines;
        ++linesReceived_;
    }
    state_.ReceiveLine.clear();
    if (state_.FirstLinePending) {
        state_.FirstLinePending = false;
        host_.ShowStatus("Receiving Data");
    }
}

// The line collected so far ends the program; it is added once.
void ReceiveTransfer::AddCollectedLine() {
    host_.AppendReceivedLine(state_.ReceiveLine);
    state_.ReceivedUnsaved = true;
    state_.ReceiveLine.clear();
    ++linesReceived_;
    Progress(true);
}

void ReceiveTransfer::Progress(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (force || now - lastProgress_ >= ProgressInterval) {
        lastProgress_ = now;
        host_.ShowProgress("Received " + std::to_string(linesReceived_) + " lines, " +
                           std::to_string(bytesReceived_) + " bytes");
    }
}

} // namespace feedrail
