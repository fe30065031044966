#include "transfer/Automation.h"

#include "common/ControlChars.h"
#include "profiles/ProfileValues.h"
#include "transfer/ArrivedCharacters.h"
#include "transfer/ProgramFiles.h"
#include "transfer/ReadySignal.h"
#include "transfer/ReceivingLeftovers.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace feedrail {

Automation::Automation(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                       SendTransfer& send, AutomationHosts hosts,
                       std::function<Clock::time_point()> now)
    : state_(state), settings_(settings), port_(port), send_(send), hosts_(std::move(hosts)),
      now_(std::move(now)),
      filer_([this](FiledProgram program) { Filed(std::move(program)); }, now_),
      collector_(filer_, automation_.MaxProgramBytes) {
    hosts_.Session.OnChange([this] { SessionChanged(); });
}

bool Automation::Configure(std::string machine, AutomationSettings settings) {
    if (machine == machine_ && settings == automation_) {
        return false;
    }
    machine_ = std::move(machine);
    automation_ = std::move(settings);
    return true;
}

void Automation::Pause() {
    paused_ = true;
    answerPending_ = false;
    finding_ = false;
    answerHeld_ = false;
    // A program cut short here is kept as incomplete.
    collector_.Interrupt();
}

void Automation::Resume() {
    if (!automation_.Listens() || !port_.Active() ||
        hosts_.Session.Phase() != TransferPhase::Idle) {
        return;
    }
    paused_ = false;
    std::vector<std::string> places{ReceiveFolder(), state_.ProgramDir, LastResortFolder()};
    if (automation_.AutoReceive) {
        KeepLeftovers(places);
    }
    filer_.SetPlaces(std::move(places), settings_.DefaultExt, automation_.AutoReceive,
                     automation_.RemoteRequest);
    filer_.KeepVersions(automation_.KeepVersions);
    collector_.SetMostBytes(automation_.MaxProgramBytes);
    SignalReceiveReady(port_, settings_.CommHandshake);
}

// Listening starts once the transfer that ended has returned; an answer held
// back by busy work goes out when the work ends.
void Automation::SessionChanged() {
    const TransferSession& session = hosts_.Session;
    if (session.Phase() != TransferPhase::Idle) {
        if (!paused_ || answerPending_ || answerHeld_ || finding_) {
            Pause();
        }
        return;
    }
    if (answerHeld_ && session.Idle()) {
        answerHeld_ = false;
        QueueAnswer();
    } else if (paused_ && !answerPending_ && !answerHeld_ && !finding_ && !resumeDeferred_) {
        resumeDeferred_ = true;
        hosts_.Ui.Defer([this] {
            // Bytes that came first may have taken listening up already.
            if (std::exchange(resumeDeferred_, false) && paused_ && !answerPending_ &&
                !answerHeld_ && !answerQueued_ && !finding_) {
                Resume();
                ReadWaiting();
            }
        });
    }
}

// What the machine sent as the transfer ended (its next punch or request)
// waits in the port, and no event may come for it again.
void Automation::ReadWaiting() {
    if (!Listening()) {
        return;
    }
    ComStat stat;
    port_.GetComStat(stat);
    if (stat.cbInQue > 0) {
        Comm1RxChar(static_cast<int>(stat.cbInQue));
    }
}

bool Automation::Reading() const {
    return Listening() || answerPending_ || finding_ || ResumeDue();
}

bool Automation::ResumeDue() const {
    return resumeDeferred_ && paused_ && !answerPending_ && !answerHeld_ && !answerQueued_ &&
           !finding_ && automation_.Listens() && port_.Active() &&
           hosts_.Session.Phase() == TransferPhase::Idle;
}

// A control may punch the moment a transfer has ended, before listening is
// taken up again: its first bytes must not be lost.
void Automation::Comm1RxChar(int count) {
    if (ResumeDue()) {
        resumeDeferred_ = false;
        Resume();
    }
    if (!ReadArrivedCharacters(
            port_, count, settings_.PunchType, [](int) {},
            [this](char character) {
                Take(character);
                return true;
            },
            [this] { return answerPending_ || finding_; })) {
        hosts_.Status.ShowStatus({.Code = StatusCode::ReadFailed});
    }
    if (collector_.Collecting() && !flushArmed_) {
        flushArmed_ = true;
        hosts_.Ui.After(
            std::chrono::duration_cast<std::chrono::milliseconds>(ProgramFiler::FlushInterval),
            [this] {
                flushArmed_ = false;
                filer_.Flush();
            });
    }
}

// What a receive that ended with Feedrail left in a folder is kept, once
// per folder and run, before anything new is filed there.
void Automation::KeepLeftovers(const std::vector<std::string>& places) {
    std::vector<std::string> unchecked;
    for (const std::string& place : places) {
        if (!place.empty() && checkedPlaces_.insert(place).second) {
            unchecked.push_back(place);
        }
    }
    for (const Leftover& leftover : RecoverLeftovers(unchecked, settings_.DefaultExt)) {
        const bool kept = !leftover.Path.empty();
        const std::string notKept =
            kept ? std::string() : std::string(" not kept: ") + std::strerror(leftover.Error);
        Log({{},
             "receive",
             kept ? leftover.Path : leftover.Hidden,
             0,
             leftover.Bytes,
             "incomplete: Feedrail ended during the punch" + (kept ? "" : ";" + notKept)});
        hosts_.Status.ShowStatus(
            kept ? LineStatus{.Code = StatusCode::LeftoverKept, .Path = leftover.Path}
                 : LineStatus{.Code = StatusCode::LeftoverNotKept, .Error = leftover.Error});
    }
}

void Automation::Take(char character) {
    // While the program is found the machine waits as it does for its answer:
    // its XON is kept for when it is found.
    if (finding_) {
        xonWhileFinding_ = xonWhileFinding_ || character == ControlChar::Xon;
        if (settings_.CommHandshake != HandshakeXonXoff ||
            (character != ControlChar::Dc2 && character != '%')) {
            return;
        }
        NotAnswered("abandoned: the machine punched again instead of sending XON");
        paused_ = false;
    }
    // After a request under Xon/Xoff only the machine's XON counts: the rest
    // of its tape (the DC4 that ends a punch) must not reach the send. A new
    // punch instead of the XON means the machine has given up waiting.
    if (answerPending_) {
        if (character == ControlChar::Xon) {
            answerPending_ = false;
            QueueAnswer();
            return;
        }
        if (character != ControlChar::Dc2 && character != '%') {
            return;
        }
        NotAnswered("abandoned: the machine punched again instead of sending XON");
        paused_ = false;
    }
    if (!Listening()) {
        return;
    }
    const bool started = !collector_.Collecting();
    collector_.Take(character);
    if (started && collector_.Collecting()) {
        hosts_.Status.ShowStatus({.Code = StatusCode::Receiving});
    }
}

std::optional<Automation::Collected> Automation::Collecting() const {
    if (!collector_.Collecting()) {
        return std::nullopt;
    }
    return Collected{filer_.NumberSoFar().value_or(""), filer_.LinesSoFar(), filer_.BytesSoFar(),
                     filer_.ElapsedSoFar()};
}

void Automation::Abandon(const std::string& reason) {
    if (answerPending_ || finding_ || std::exchange(answerQueued_, false)) {
        NotAnswered("abandoned: " + reason);
    }
    abandonReason_ = reason;
    Pause();
    abandonReason_.clear();
}

bool Automation::Log(TransferRecord record) {
    record.Machine = machine_;
    if (recorded_) {
        recorded_(record);
    }
    if (!automation_.TransferLog) {
        return true;
    }
    const std::string path = state_.ProgramDir + std::string(TransferLogName);
    if (const int error = AppendTransferLog(path, TransferLogLine(record, now_()))) {
        hosts_.Status.ShowStatus({.Code = StatusCode::LogNotWritten, .Path = path, .Error = error});
        return false;
    }
    return true;
}

void Automation::LineLost(const std::string& path) {
    if (automation_.Listens()) {
        Pause();
        Log({{}, "line", path, 0, 0, "lost"});
    }
}

void Automation::LineBack(const std::string& path) {
    Log({{}, "line", path, 0, 0, "back"});
}

void Automation::Filed(FiledProgram program) {
    if (program.Request) {
        Answer(*program.Request);
        return;
    }
    if (!automation_.AutoReceive) {
        hosts_.Status.ShowStatus({.Code = StatusCode::ProgramNotKept});
        return;
    }
    std::string places;
    for (const std::string& refusal : program.Refused) {
        places += (places.empty() ? "" : "; ") + refusal;
    }
    TransferRecord record{{},
                          "receive",
                          program.Path,
                          static_cast<std::int64_t>(program.Lines),
                          program.Bytes,
                          "completed"};
    if (program.Ending == ProgramSink::Ending::Interrupted) {
        record.Result =
            abandonReason_.empty() ? "incomplete" : "incomplete: abandoned, " + abandonReason_;
    } else if (program.Ending == ProgramSink::Ending::TooLong) {
        record.Result = "incomplete: longer than MaxProgramBytes (" +
                        std::to_string(automation_.MaxProgramBytes) + " bytes)";
    }
    hosts_.Status.ShowProgress({TransferProgress::Way::Receive,
                                static_cast<int>(std::min<std::uint64_t>(program.Lines, INT_MAX)),
                                0, program.Bytes, 0, filer_.ElapsedSoFar()});
    if (program.Path.empty()) {
        record.Result = "not saved: " + places;
        // The log's own trouble never hides that the program was not saved.
        Log(record);
        hosts_.Status.ShowStatus({.Code = StatusCode::ProgramNotSaved, .Reason = places});
        hosts_.ShowError("The program the machine punched could not be saved anywhere.\n"
                         "Places tried:\n" +
                         places);
        return;
    }
    if (!places.empty()) {
        record.Result += " (not in " + places + ")";
    }
    const bool logged = Log(record);
    hosts_.Status.ShowStatus({.Code = StatusCode::ProgramSaved,
                              .Path = program.Path,
                              .Reason = places,
                              .Incomplete = program.Ending != ProgramSink::Ending::Complete,
                              .LogFailed = !logged});
    hosts_.ShowFiledProgram(program.Path, program.EarlierVersion);
}

void Automation::Answer(const std::string& number) {
    answerNumber_ = number;
    if (EditorHoldsWork()) {
        NotAnswered("not answered: the program in the editor is not saved");
        return;
    }
    if (!hosts_.FindProgram) {
        Found(index_.Find(settings_.DefaultDir, number, settings_.DefaultExt));
        return;
    }
    // The line waits for the program as it waits for the machine's XON.
    Pause();
    finding_ = true;
    xonWhileFinding_ = false;
    if (settings_.CommHandshake == HandshakeXonXoff) {
        send_.AwaitRequestXon(true);
    }
    const unsigned finding = ++findings_;
    hosts_.FindProgram(number, [this, finding](const ProgramLookup& found) {
        if (finding_ && finding == findings_) {
            finding_ = false;
            Found(found);
        }
    });
}

void Automation::Found(const ProgramLookup& found) {
    const std::string& number = answerNumber_;
    const auto& path = found.Path;
    if (!path) {
        std::string refusals;
        for (const std::string& refused : found.Refused) {
            refusals += (refusals.empty() ? "" : "; ") + refused;
        }
        Log({{}, "request", number, 0, 0, "not found" + (refusals.empty() ? "" : "; " + refusals)});
        hosts_.Status.ShowStatus(
            {.Code = StatusCode::RequestNotFound, .Program = number, .Reason = refusals});
        if (paused_) {
            send_.AwaitRequestXon(false);
            Resume();
        }
        return;
    }
    Log({{}, "request", number, 0, 0, "sending " + *path});
    Pause();
    answerPath_ = *path;
    if (settings_.CommHandshake == HandshakeXonXoff && !std::exchange(xonWhileFinding_, false)) {
        answerPending_ = true;
        send_.AwaitRequestXon(true);
        hosts_.Status.ShowStatus({.Code = StatusCode::WaitingForXon});
        const unsigned wait = ++answerWait_;
        hosts_.Ui.After(AnswerXonTimeout, [this, wait] {
            if (answerPending_ && wait == answerWait_) {
                answerPending_ = false;
                NotAnswered("abandoned: no XON from the machine within 60 s");
                Resume();
            }
        });
        return;
    }
    // The port is not taken from under the receive that brought the request.
    QueueAnswer();
}

void Automation::QueueAnswer() {
    answerQueued_ = true;
    hosts_.Ui.Defer([this] {
        if (std::exchange(answerQueued_, false)) {
            SendAnswer();
        }
    });
}

// Busy work holds the answer back until it ends; a transfer the operator
// started since, or work in the editor, leaves the request unanswered.
void Automation::SendAnswer() {
    const TransferSession& session = hosts_.Session;
    if (session.Phase() == TransferPhase::Idle && session.Busy()) {
        answerHeld_ = true;
        return;
    }
    if (!session.Idle()) {
        return;
    }
    // The file may have been replaced by a link since it was found (an
    // answer can wait a minute for the machine's XON). A program found away
    // from the line was opened and checked there: what is sent is what was
    // opened.
    const auto outside =
        hosts_.FindProgram ? std::nullopt : LeadsOutOf(answerPath_, settings_.DefaultDir);
    if (EditorHoldsWork()) {
        NotAnswered("not answered: the program in the editor is not saved");
    } else if (outside) {
        NotAnswered("not answered: " + answerPath_ + " leads out of the folder, to " + *outside);
    } else if (!hosts_.LoadFile(answerPath_)) {
        NotAnswered("failed: " + answerPath_ + " cannot be read");
    } else if (send_.RequestedSend()) {
        return;
    } else {
        send_.AwaitRequestXon(false);
    }
    Resume();
}

void Automation::NotAnswered(const std::string& reason) {
    answerPending_ = false;
    finding_ = false;
    send_.AwaitRequestXon(false);
    hosts_.Status.ShowStatus(
        {.Code = StatusCode::RequestNotAnswered, .Program = answerNumber_, .Reason = reason});
    Log({{}, "request", answerNumber_, 0, 0, reason});
}

bool Automation::EditorHoldsWork() const {
    return state_.ReceivedUnsaved || (hosts_.Editor != nullptr && hosts_.Editor->EditorModified());
}

// The profile's receive folder (a relative one within the machine's folder),
// else the machine's folder, else the folder of the profiles: a program that
// came is never dropped for want of one.
std::string Automation::ReceiveFolder() const {
    return ReceiveFolderOf(automation_.ReceiveDir, settings_.DefaultDir, state_.ProgramDir);
}

} // namespace feedrail
