#include "transfer/SendTransfer.h"

#include "common/ControlChars.h"
#include "profiles/LinePause.h"
#include "profiles/ProfileValues.h"
#include "serial/EVaCommError.h"
#include "transfer/ReadySignal.h"
#include "transfer/TapeLine.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using namespace ControlChar;

// Progress is shown at most this often.
constexpr auto ProgressInterval = 250ms;
// How often a pass looks again at a line pause's end of line and at the
// delivery of the last bytes: a control that has its program may hang up at
// once, and the send has ended well only if this look comes first.
constexpr auto LookInterval = 1ms;
// Pauses this long are never counted out: Stop ends them.
constexpr auto Endless = std::chrono::hours(24 * 365);

} // namespace

SendTransfer::SendTransfer(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                           const SendHosts& hosts)
    : state_(state), settings_(settings), port_(port), status_(hosts.Status),
      editor_(hosts.Program), source_(hosts.Program), queue_(port), ui_(hosts.Ui),
      session_(hosts.Session), leader_(hosts.Leader) {}

void SendTransfer::SendButtonClick() {
    RequestSend(editor_, {});
}

void SendTransfer::SendProgramFrom(ProgramLines& program, std::string from) {
    RequestSend(program, std::move(from));
}

// What a send reads changes only once the session has granted it: a send
// under way goes on reading its own program.
bool SendTransfer::RequestSend(ProgramLines& program, std::string from) {
    if (!Encodable(program) || !session_.RequestSend(true)) {
        return false;
    }
    source_.Read(program, std::move(from));
    queue_.Reset();
    port_.Close();
    port_.SetMonitorEvents(port_.MonitorEvents().Include(ceRxFlag).Include(ceRxChar));
    ui_.ArmCommOpenTimer();
    return true;
}

bool SendTransfer::RequestedSend() {
    if (!Encodable(editor_) || !session_.RequestSend(false)) {
        return false;
    }
    source_.Reset();
    queue_.Reset();
    answering_ = true;
    SendStart();
    answering_ = false;
    if (session_.Phase() == TransferPhase::WaitingForRemoteStart) {
        xonState_ = true;
        MachineReady();
    }
    return true;
}

// A program the machine's tape code cannot carry does not start to go out.
bool SendTransfer::Encodable(const ProgramLines& program) {
    const std::optional<std::string> why =
        SendSource::WhyNotEncodable(program, settings_.PunchType);
    if (!why) {
        return true;
    }
    status_.ShowStatus({.Code = StatusCode::NotEncodable, .Reason = *why});
    queue_.Reset();
    // Where an earlier send from a block started is none of this one's.
    source_.Reset();
    Ended("not sent: " + *why);
    return false;
}

void SendTransfer::MachineReady() {
    session_.SendRuns();
    // The send runs once the handler that saw the XON has returned, so that
    // the machine's later XOFF and XON reach it while it runs.
    ui_.Defer([this] { SendProgram(); });
}

// Only Feedrail's own Xon/Xoff handshake listens to them: under RTS/CTS or
// none a stray XOFF must not claim a pause that is not there, and under the
// driver's the device takes them itself.
void SendTransfer::MachineControl(char character) {
    if (settings_.CommHandshake != HandshakeXonXoff) {
        return;
    }
    if (character == Xon) {
        const bool paused = !xonState_;
        xonState_ = true;
        if (session_.Phase() == TransferPhase::WaitingForRemoteStart) {
            status_.ShowStatus({.Code = StatusCode::MachineXon});
            MachineReady();
        } else if (paused && running_) {
            status_.ShowStatus({.Code = StatusCode::Sending});
        }
    } else if (character == Xoff) {
        xonState_ = false;
        if (running_) {
            status_.ShowStatus({.Code = StatusCode::PausedByMachine});
        }
    } else if (character == Dc4 && session_.Phase() == TransferPhase::WaitingForRemoteStart) {
        MachineDeclined();
    }
}

void SendTransfer::MachineDeclined() {
    status_.ShowStatus({.Code = StatusCode::SendCancelled});
    Ended("cancelled: the machine sent DC4");
    session_.TransferEnded();
}

void SendTransfer::LineLost(LineStatus status) {
    // A control that hangs up once it has its program has had it all.
    if (running_ && stage_ == Stage::Delivering && queue_.AllOut()) {
        Complete(result_);
        return;
    }
    EndNow({std::move(status), "line lost", true});
}

void SendTransfer::Abandon(LineStatus status, std::string result) {
    EndNow({std::move(status), std::move(result), false});
}

bool SendTransfer::Cancel() {
    switch (session_.Phase()) {
    case TransferPhase::SendRequested:
    case TransferPhase::WaitingForRemoteStart:
        Cancelled();
        return true;
    case TransferPhase::Sending:
        break;
    default:
        return false;
    }
    // Between lines, with the port's queue empty, the tape still gets its
    // trailer; in the middle of a line what the port holds is dropped.
    if (running_ && stage_ != Stage::Delivering && offset_ == bytes_.size() && queue_.Held() == 0) {
        status_.ShowStatus({.Code = StatusCode::SendStoppedBetweenLines});
        Finish("cancelled");
    } else {
        Cancelled();
    }
    return true;
}

void SendTransfer::EndNow(Ending ending) {
    if (!session_.Sending()) {
        return;
    }
    ending_ = std::move(ending);
    Cancelled();
}

void SendTransfer::SendStart() {
    const std::int32_t handshake = settings_.CommHandshake;
    status_.ShowStatus(
        {.Code = handshake == HandshakeXonXoff ? StatusCode::WaitingForXon : StatusCode::Sending});
    queue_.Reset();
    if (handshake == HandshakeDriverXonXoff) {
        SignalReady(port_);
    }
    switch (handshake) {
    case HandshakeRtsCts:
        xonState_ = true;
        status_.ShowStatus({.Code = StatusCode::WaitingForCts});
        session_.SendRuns();
        SendProgram();
        break;
    case HandshakeXonXoff:
        xonState_ = false;
        // From here on the device follows the machine's XON and XOFF itself,
        // so that the few characters after an XOFF never wait for this thread.
        port_.SetXoffHoldsOutput(true);
        session_.WaitForMachine();
        SignalReady(port_, !answering_);
        break;
    case HandshakeDtr:
        port_.SetDTRControl(dtrEnable);
        xonState_ = true;
        session_.SendRuns();
        SendProgram();
        break;
    default:
        xonState_ = true;
        session_.SendRuns();
        SendProgram();
        break;
    }
}

void SendTransfer::SendProgram() {
    // A send cancelled between the machine's XON and this start is over.
    if (running_ || !session_.Sending()) {
        return;
    }
    running_ = true;
    stage_ = Stage::Lines;
    line_ = 0;
    lines_ = source_.Program().EditorLineCount();
    totalBytes_ = source_.TapeBytes(lines_, settings_, leader_());
    bytes_.clear();
    offset_ = 0;
    percentLineSent_ = false;
    closingLine_ = false;
    progressHeld_ = false;
    // The machine's XOFF may have come with the XON that started the send.
    if (!xonState_) {
        status_.ShowStatus({.Code = StatusCode::PausedByMachine});
    }
    Pump();
}

void SendTransfer::Pump() {
    // The window closing ends the send without a word to it.
    if (!session_.Sending()) {
        Cancelled();
        return;
    }
    try {
        switch (stage_) {
        case Stage::Lines:
            PumpLines();
            break;
        case Stage::LineOut:
            LineOut();
            break;
        case Stage::Pausing:
            stage_ = Stage::Lines;
            PumpLines();
            break;
        case Stage::Delivering:
            Delivered();
            break;
        }
    } catch (const std::exception& error) {
        DropQueued();
        Ended(error.what());
        session_.TransferEnded();
        throw;
    } catch (...) {
        DropQueued();
        Ended("failed");
        session_.TransferEnded();
        throw;
    }
}

void SendTransfer::DropQueued() {
    const std::size_t held = queue_.Held();
    Follow(held);
    queue_.Drop(held);
}

void SendTransfer::Follow(std::size_t queued) {
    const int before = queue_.LinesSent();
    if (!queue_.Follow(queued)) {
        return;
    }
    if (before == 0 && xonState_) {
        status_.ShowStatus({.Code = StatusCode::Sending});
    }
    if (queue_.LinesSent() < lines_) {
        ShowWhereItStands(false);
    }
}

// The highlight moves as often as the progress: moving it at every line cost
// the window more than all the rest of the send. One held back is shown when
// its time comes, so that a machine that holds the send (its XOFF, a tool
// change) sees the line it holds in.
void SendTransfer::ShowWhereItStands(bool force) {
    const int line = std::min(queue_.LinesSent() + 1, lines_);
    if (Progress(line, lines_, force)) {
        source_.Program().HighlightEditorLine(line);
        progressHeld_ = false;
        return;
    }
    if (std::exchange(progressHeld_, true)) {
        return;
    }
    ui_.After(ProgressInterval, [this] {
        if (running_ && std::exchange(progressHeld_, false)) {
            ShowWhereItStands(true);
        }
    });
}

// Hands the port whole lines, or pieces of a long one, until it holds its
// share ahead of the line, then comes back when about half of that is out.
void SendTransfer::PumpLines() {
    std::size_t queued = port_.OutputQueued();
    Follow(queued);
    const std::size_t high = queue_.HighWater();
    while (queued < high) {
        if (offset_ == bytes_.size() && !source_.Program().EditorLineReady(line_ + 1)) {
            Schedule(LookInterval);
            return;
        }
        if (offset_ == bytes_.size() && !NextLine()) {
            Finish();
            return;
        }
        // The closing "%" ends the tape at its first byte.
        const std::size_t piece =
            closingLine_ ? 1 : std::min(bytes_.size() - offset_, high - queued);
        const bool endsLine = offset_ + piece == bytes_.size() || closingLine_;
        queue_.Hand(bytes_.data() + offset_, piece, endsLine ? std::optional(line_) : std::nullopt);
        offset_ += piece;
        queued += piece;
        if (closingLine_) {
            Finish();
            return;
        }
        if (offset_ == bytes_.size() && LinePause(settings_.PunchWait) > 0ns) {
            // The pause runs from when the line has left the port.
            stage_ = Stage::LineOut;
            Schedule(LookInterval);
            return;
        }
    }
    Schedule(queue_.PassWait(queued));
}

bool SendTransfer::NextLine() {
    if (line_ >= lines_) {
        return false;
    }
    ++line_;
    if (line_ == 1) {
        source_.Program().HighlightEditorLine(1);
        Progress(1, lines_, true);
    }
    const std::string text = source_.Program().GetEditorLine(line_);
    bytes_ = TapeLineBytes(text, settings_.PunchType, settings_.EOB, leader_());
    offset_ = 0;
    closingLine_ = text == "%" && percentLineSent_ && !bytes_.empty();
    percentLineSent_ = percentLineSent_ || text.find('%') != std::string::npos;
    return true;
}

void SendTransfer::Schedule(std::chrono::milliseconds wait) {
    const std::uint64_t ticket = ++ticket_;
    ui_.After(wait, [this, ticket] {
        if (ticket == ticket_ && running_) {
            Pump();
        }
    });
}

void SendTransfer::StartPause() {
    stage_ = Stage::Pausing;
    const auto pause = LinePause(settings_.PunchWait);
    if (pause >= Endless) {
        return;
    }
    Schedule(std::chrono::ceil<std::chrono::milliseconds>(pause));
}

void SendTransfer::Finish(const char* result) {
    if (std::string_view(result) != "completed") {
        // Stopped between lines: the trailer goes once the hold is off.
        try {
            QueueTrailer();
        } catch (const EVaCommError&) {
            // The port is failing: the send has ended all the same.
        }
        Complete(result);
        return;
    }
    // A device server that has stopped taking the program has not had it
    // sent: the send waits until the port has sent its queue and the
    // server's TCP has acknowledged the last byte, or until the connection is
    // given up and the loss ends the send.
    result_ = result;
    trailerDue_ = leader_();
    // Now known to the byte: a closing "%" ends the tape at its first byte.
    totalBytes_ = queue_.BytesSent() + (trailerDue_ ? TapeTrailer().size() : 0);
    stage_ = Stage::Delivering;
    Delivered();
}

void SendTransfer::QueueTrailer() {
    if (leader_()) {
        const std::string trailer = TapeTrailer();
        queue_.Hand(trailer.data(), trailer.size());
    }
}

// A line held by the machine shows where it stands meanwhile; once it is
// out, its pause begins.
void SendTransfer::LineOut() {
    const std::size_t queued = queue_.Held();
    Follow(queued);
    if (queued == 0) {
        StartPause();
    } else {
        Schedule(LookInterval);
    }
}

void SendTransfer::Delivered() {
    if (!queue_.AllOut()) {
        // The last lines held by the machine show where it stands meanwhile.
        Follow(queue_.Held());
        Schedule(LookInterval);
        return;
    }
    if (std::exchange(trailerDue_, false)) {
        // Blank tape and DC4 follow the program whatever the machine's XOFF
        // says: a control that stops reading at the "%" would hold them for
        // ever.
        port_.SetXoffHoldsOutput(false);
        QueueTrailer();
        Delivered();
        return;
    }
    Complete(result_);
}

void SendTransfer::Complete(const std::string& result) {
    Follow(queue_.Held());
    queue_.AllGone();
    ShowWhereItStands(true);
    status_.ShowStatus({.Code = StatusCode::SendFinished});
    ending_.reset();
    Ended(result);
    session_.TransferEnded();
}

void SendTransfer::Cancelled() {
    const std::optional<Ending> ending = std::exchange(ending_, std::nullopt);
    if (!(ending && ending->LineGone)) {
        DropQueued();
    }
    // A stopped send shows the line it stopped in, to start again from.
    if (running_ && queue_.LinesSent() < lines_) {
        ShowWhereItStands(true);
    }
    status_.ShowStatus(ending ? ending->Status : LineStatus{.Code = StatusCode::SendCancelled});
    Ended(ending ? ending->Result : "cancelled");
    session_.TransferEnded();
}

void SendTransfer::Ended(std::string result) {
    running_ = false;
    ++ticket_;
    stage_ = Stage::Lines;
    bytes_.clear();
    offset_ = 0;
    queue_.ForgetLineEnds();
    trailerDue_ = false;
    try {
        port_.SetXoffHoldsOutput(false);
    } catch (const EVaCommError&) {
        // A port that fails here is failing anyway; it opens without the hold.
    }
    if (ended_) {
        // A send from a chosen block says where it started after how it ended:
        // "completed from line 57 (T3 M6)".
        if (!source_.From().empty()) {
            result += " " + source_.From();
        }
        ended_({{},
                "send",
                state_.CurrentFile,
                queue_.LinesSent(),
                queue_.BytesSent(),
                std::move(result)});
    }
    source_.Reset();
}

void SendTransfer::AwaitRequestXon(bool waiting) {
    if (session_.Sending()) {
        return;
    }
    try {
        port_.SetXoffHoldsOutput(waiting);
    } catch (const EVaCommError&) {
        // A failing port goes as any does; the send that follows opens it anew.
    }
}

bool SendTransfer::Progress(int line, int lines, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && line != 1 && now - lastProgress_ < ProgressInterval) {
        return false;
    }
    lastProgress_ = now;
    status_.ShowProgress(
        {TransferProgress::Way::Send, line, lines, queue_.BytesOut(), totalBytes_,
         std::chrono::duration_cast<std::chrono::milliseconds>(now - queue_.Started())});
    return true;
}

} // namespace feedrail
