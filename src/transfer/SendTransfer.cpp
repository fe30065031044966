#include "transfer/SendTransfer.h"

#include "common/ControlChars.h"
#include "profiles/LinePause.h"
#include "profiles/ProfileValues.h"
#include "serial/EVaCommError.h"
#include "transfer/ReadySignal.h"
#include "transfer/TapeCode.h"
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
// The port holds this much of the program ahead of the line: enough to ride
// out a late pass of a busy event loop, little enough that Stop drops little
// and the progress is near the truth.
constexpr std::int64_t AheadPerSecond = 10;
constexpr std::size_t MinAhead = 64;
// How often a pass looks again at a line pause's end of line and at the
// delivery of the last bytes: a control that has its program may hang up at
// once, and the send has ended well only if this look comes first.
constexpr auto LookInterval = 1ms;
// A pass never waits longer than this, so that a port held by the machine
// and then freed is fed again soon.
constexpr auto LongestPassWait = 50ms;
// Pauses this long are never counted out: Stop ends them.
constexpr auto Endless = std::chrono::hours(24 * 365);

} // namespace

SendTransfer::SendTransfer(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                           const SendHosts& hosts)
    : state_(state), settings_(settings), port_(port), status_(hosts.Status), editor_(hosts.Editor),
      ui_(hosts.Ui), session_(hosts.Session), leader_(hosts.Leader) {}

void SendTransfer::SendButtonClick() {
    RequestSend(editor_, {});
}

void SendTransfer::SendProgramFrom(EditorLines& program, std::string from) {
    RequestSend(program, std::move(from));
}

// What a send reads changes only once the session has granted it: a send
// under way goes on reading its own program.
bool SendTransfer::RequestSend(EditorLines& program, std::string from) {
    if (!Encodable(program) || !session_.RequestSend(true)) {
        return false;
    }
    program_ = &program;
    from_ = std::move(from);
    ResetCounts();
    port_.Close();
    port_.SetMonitorEvents(port_.MonitorEvents().Include(ceRxFlag).Include(ceRxChar));
    ui_.ArmCommOpenTimer();
    return true;
}

bool SendTransfer::RequestedSend() {
    if (!Encodable(editor_) || !session_.RequestSend(false)) {
        return false;
    }
    program_ = &editor_;
    from_.clear();
    ResetCounts();
    answering_ = true;
    SendStart();
    answering_ = false;
    if (session_.Phase() == TransferPhase::WaitingForRemoteStart) {
        xonState_ = true;
        MachineReady();
    }
    return true;
}

// In EIA a character without a code would go out as a blank, changing the
// program unseen: the send does not start, and the operator is told where.
bool SendTransfer::Encodable(const EditorLines& program) {
    if (settings_.PunchType != PunchEia) {
        return true;
    }
    const auto refuse = [this](const std::string& why) {
        status_.ShowStatus("Cannot send in EIA: " + why);
        ResetCounts();
        // Where an earlier send from a block started is none of this one's.
        from_.clear();
        Ended("not sent: " + why);
        return false;
    };
    try {
        const int lines = program.EditorLineCount();
        for (int line = 1; line <= lines; ++line) {
            const std::string text = program.GetEditorLine(line);
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
            status_.ShowStatus("xon");
            MachineReady();
        } else if (paused && running_) {
            status_.ShowStatus("Sending Data - press esc to cancel");
        }
    } else if (character == Xoff) {
        xonState_ = false;
        if (running_) {
            status_.ShowStatus("Paused by the machine (XOFF)");
        }
    } else if (character == Dc4 && session_.Phase() == TransferPhase::WaitingForRemoteStart) {
        MachineDeclined();
    }
}

void SendTransfer::MachineDeclined() {
    status_.ShowStatus("Send Cancelled");
    Ended("cancelled: the machine sent DC4");
    session_.TransferEnded();
}

void SendTransfer::LineLost(std::string status) {
    // A control that hangs up once it has its program has had it all.
    if (running_ && stage_ == Stage::Delivering && AllOut()) {
        Complete(result_);
        return;
    }
    EndNow({std::move(status), "line lost", true});
}

bool SendTransfer::AllOut() {
    try {
        return port_.OutputQueued() == 0 && port_.OutputDelivered();
    } catch (const EVaCommError&) {
        return false;
    }
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
        break;
    default:
        return false;
    }
    // Between lines, with the port's queue empty, the tape still gets its
    // trailer; in the middle of a line what the port holds is dropped.
    if (running_ && stage_ != Stage::Delivering && offset_ == bytes_.size() && Queued() == 0) {
        status_.ShowStatus("Sending Canceled");
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
    status_.ShowStatus(handshake == HandshakeXonXoff ? "Waiting for Remote Start"
                                                     : "Sending Data - press esc to cancel");
    ResetCounts();
    if (handshake == HandshakeDriverXonXoff) {
        SignalReady(port_);
    }
    switch (handshake) {
    case HandshakeRtsCts:
        xonState_ = true;
        status_.ShowStatus("Waiting for Remote Start-press esc to cancel");
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
    lines_ = program_->EditorLineCount();
    totalBytes_ = TapeBytes();
    linesSent_ = 0;
    bytes_.clear();
    offset_ = 0;
    percentLineSent_ = false;
    closingLine_ = false;
    progressHeld_ = false;
    // The machine's XOFF may have come with the XON that started the send.
    if (!xonState_) {
        status_.ShowStatus("Paused by the machine (XOFF)");
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

std::size_t SendTransfer::Queued() {
    try {
        return port_.Active() ? port_.OutputQueued() : 0;
    } catch (const EVaCommError&) {
        // A port that fails holds nothing that will still go out.
        return 0;
    }
}

// What the port still holds never reaches the machine, and neither counts
// as sent.
void SendTransfer::DropQueued() {
    const std::size_t held = Queued();
    Follow(held);
    try {
        if (port_.Active()) {
            port_.PurgeWrite();
        }
    } catch (const EVaCommError&) {
        // The port is failing: it holds nothing that will go out.
    }
    bytesSent_ -= std::min<std::uint64_t>(held, bytesSent_);
}

// The lines whose last byte has left the port are the lines sent: the
// highlight, the progress and the record follow the line, not the pump.
void SendTransfer::Follow(std::size_t queued) {
    const bool nothingOutYet = bytesOut_ == 0;
    bytesOut_ = bytesSent_ - std::min<std::uint64_t>(queued, bytesSent_);
    // The rate runs from the first byte, not from a wait for the machine.
    if (nothingOutYet && bytesOut_ > 0) {
        started_ = std::chrono::steady_clock::now();
    }
    const int before = linesSent_;
    while (!lineEnds_.empty() && lineEnds_.front().first <= bytesOut_) {
        linesSent_ = lineEnds_.front().second;
        lineEnds_.pop_front();
    }
    if (linesSent_ == before) {
        return;
    }
    if (before == 0 && xonState_) {
        status_.ShowStatus("Sending Data - press esc to cancel");
    }
    if (linesSent_ < lines_) {
        ShowWhereItStands(false);
    }
}

// The highlight moves as often as the progress: moving it at every line cost
// the window more than all the rest of the send. One held back is shown when
// its time comes, so that a machine that holds the send (its XOFF, a tool
// change) sees the line it holds in.
void SendTransfer::ShowWhereItStands(bool force) {
    const int line = std::min(linesSent_ + 1, lines_);
    if (Progress(line, lines_, force)) {
        program_->HighlightEditorLine(line);
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
    const std::size_t high = HighWater();
    while (queued < high) {
        if (offset_ == bytes_.size() && !program_->EditorLineReady(line_ + 1)) {
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
        port_.QueueBuf(bytes_.data() + offset_, piece);
        offset_ += piece;
        bytesSent_ += piece;
        queued += piece;
        if (offset_ == bytes_.size() || closingLine_) {
            lineEnds_.emplace_back(bytesSent_, line_);
        }
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
    Schedule(PassWait(queued));
}

bool SendTransfer::NextLine() {
    if (line_ >= lines_) {
        return false;
    }
    ++line_;
    if (line_ == 1) {
        program_->HighlightEditorLine(1);
        Progress(1, lines_, true);
    }
    const std::string text = program_->GetEditorLine(line_);
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

// The port's own rate, not the profile's: that is the one the line runs at.
std::size_t SendTransfer::HighWater() const {
    const std::size_t perSecond = port_.BitsPerSecond() / 10;
    return std::max(MinAhead, perSecond / AheadPerSecond);
}

// Until about half the queue is out, at ten bits a character.
std::chrono::milliseconds SendTransfer::PassWait(std::size_t queued) const {
    const std::size_t half = HighWater() / 2;
    const std::uint32_t rate = port_.BitsPerSecond();
    if (queued <= half || rate == 0) {
        return 1ms;
    }
    const auto ms = static_cast<std::int64_t>(queued - half) * 10'000 / rate;
    return std::clamp(std::chrono::milliseconds(ms), 1ms,
                      std::chrono::duration_cast<std::chrono::milliseconds>(LongestPassWait));
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
    totalBytes_ = bytesSent_ + (trailerDue_ ? TapeTrailer().size() : 0);
    stage_ = Stage::Delivering;
    Delivered();
}

void SendTransfer::QueueTrailer() {
    if (leader_()) {
        const std::string trailer = TapeTrailer();
        port_.QueueBuf(trailer.data(), trailer.size());
        bytesSent_ += trailer.size();
    }
}

// A line held by the machine shows where it stands meanwhile; once it is
// out, its pause begins.
void SendTransfer::LineOut() {
    const std::size_t queued = Queued();
    Follow(queued);
    if (queued == 0) {
        StartPause();
    } else {
        Schedule(LookInterval);
    }
}

void SendTransfer::Delivered() {
    if (!AllOut()) {
        // The last lines held by the machine show where it stands meanwhile.
        Follow(Queued());
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
    Follow(Queued());
    bytesOut_ = bytesSent_;
    ShowWhereItStands(true);
    status_.ShowStatus("Finished Send");
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
    if (running_ && linesSent_ < lines_) {
        ShowWhereItStands(true);
    }
    status_.ShowStatus(ending ? ending->Status : "Send Cancelled");
    Ended(ending ? ending->Result : "cancelled");
    session_.TransferEnded();
}

void SendTransfer::Ended(std::string result) {
    running_ = false;
    ++ticket_;
    stage_ = Stage::Lines;
    bytes_.clear();
    offset_ = 0;
    lineEnds_.clear();
    trailerDue_ = false;
    try {
        port_.SetXoffHoldsOutput(false);
    } catch (const EVaCommError&) {
        // A port that fails here is failing anyway; it opens without the hold.
    }
    if (ended_) {
        // A send from a chosen block says where it started after how it ended:
        // "completed from line 57 (T3 M6)".
        if (!from_.empty()) {
            result += " " + from_;
        }
        ended_({{}, "send", state_.CurrentFile, linesSent_, bytesSent_, std::move(result)});
    }
    program_ = &editor_;
    from_.clear();
}

void SendTransfer::ResetCounts() {
    linesSent_ = 0;
    bytesSent_ = 0;
    bytesOut_ = 0;
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

// Each character of a line takes one byte in every tape code; a "$ ... %"
// line's leader is left out, so the reckoning may fall a little short.
std::uint64_t SendTransfer::TapeBytes() const {
    const std::uint64_t lineEnd = EndOfLineBytes(settings_.EOB, settings_.PunchType).size();
    return program_->EditorTextBytes() + static_cast<std::uint64_t>(lines_) * lineEnd +
           (leader_() ? TapeTrailer().size() : 0);
}

bool SendTransfer::Progress(int line, int lines, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && line != 1 && now - lastProgress_ < ProgressInterval) {
        return false;
    }
    lastProgress_ = now;
    status_.ShowProgress({TransferProgress::Way::Send, line, lines, bytesOut_, totalBytes_,
                          std::chrono::duration_cast<std::chrono::milliseconds>(now - started_)});
    return true;
}

} // namespace feedrail
