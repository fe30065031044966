#include "transfer/Automation.h"

#include "common/ControlChars.h"
#include "profiles/ProfileValues.h"
#include "transfer/ArrivedCharacters.h"
#include "transfer/ProgramFiles.h"
#include "transfer/ReadySignal.h"

#include <cstring>

namespace feedrail {
namespace {

std::string ProgramText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

} // namespace

Automation::Automation(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                       SendTransfer& send, AutomationHosts hosts,
                       std::function<Clock::time_point()> now)
    : state_(state), settings_(settings), port_(port), send_(send), hosts_(std::move(hosts)),
      now_(std::move(now)) {
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
    answerHeld_ = false;
    if (collector_.Collecting()) {
        hosts_.Status.ShowStatus("Auto Receive stopped in the middle of a program");
        Log({{}, "receive", {}, static_cast<std::int64_t>(collector_.LineCount()), 0, "dropped"});
    }
    collector_.Reset();
}

void Automation::Resume() {
    if (!automation_.Listens() || !port_.Active() ||
        hosts_.Session.Phase() != TransferPhase::Idle) {
        return;
    }
    paused_ = false;
    SignalReceiveReady(port_, settings_.CommHandshake);
}

// Listening starts once the transfer that ended has returned; an answer held
// back by busy work goes out when the work ends.
void Automation::SessionChanged() {
    const TransferSession& session = hosts_.Session;
    if (session.Phase() != TransferPhase::Idle) {
        if (!paused_ || answerPending_ || answerHeld_) {
            Pause();
        }
        return;
    }
    if (answerHeld_ && session.Idle()) {
        answerHeld_ = false;
        hosts_.Ui.Defer([this] { SendAnswer(); });
    } else if (paused_ && !answerPending_ && !answerHeld_ && !resumeDeferred_) {
        resumeDeferred_ = true;
        hosts_.Ui.Defer([this] {
            resumeDeferred_ = false;
            if (paused_ && !answerPending_ && !answerHeld_) {
                Resume();
            }
        });
    }
}

void Automation::Comm1RxChar(int count) {
    if (!ReadArrivedCharacters(
            port_, count, settings_.PunchType, [](int) {},
            [this](char character) { Take(character); })) {
        hosts_.Status.ShowStatus("Error reading incoming data...");
    }
}

void Automation::Take(char character) {
    // After a request under Xon/Xoff only the machine's XON counts: the rest
    // of its tape (the DC4 that ends a punch) must not reach the send. A new
    // punch instead of the XON means the machine has given up waiting.
    if (answerPending_) {
        if (character == ControlChar::Xon) {
            answerPending_ = false;
            hosts_.Ui.Defer([this] { SendAnswer(); });
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
    const auto program = collector_.Take(character);
    if (started && collector_.Collecting()) {
        hosts_.Status.ShowStatus("Receiving Data");
    }
    if (program) {
        ProgramArrived(*program);
    }
}

void Automation::Log(TransferRecord record) {
    if (!automation_.TransferLog) {
        return;
    }
    record.Machine = machine_;
    const std::string path = state_.ProgramDir + std::string(TransferLogName);
    if (const int error = AppendTransferLog(path, TransferLogLine(record, now_()))) {
        hosts_.Status.ShowStatus("Cannot write " + path + ": " + std::strerror(error));
    }
}

void Automation::ProgramArrived(const std::vector<std::string>& lines) {
    if (automation_.RemoteRequest) {
        if (const auto number = RequestedNumber(lines)) {
            Answer(*number);
            return;
        }
    }
    if (automation_.AutoReceive) {
        File(lines);
        return;
    }
    hosts_.Status.ShowStatus("Received program not kept: Auto Receive is off");
}

void Automation::Answer(const std::string& number) {
    answerNumber_ = number;
    if (EditorHoldsWork()) {
        NotAnswered("not answered: the program in the editor is not saved");
        return;
    }
    const auto path = FindProgram(settings_.DefaultDir, number, settings_.DefaultExt);
    if (!path) {
        Log({{}, "request", number, 0, 0, "not found"});
        hosts_.Status.ShowStatus("Requested program " + number + " not found");
        return;
    }
    Log({{}, "request", number, 0, 0, "sending " + *path});
    Pause();
    answerPath_ = *path;
    if (settings_.CommHandshake == HandshakeXonXoff) {
        answerPending_ = true;
        hosts_.Status.ShowStatus("Waiting for Remote Start");
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
    hosts_.Ui.Defer([this] { SendAnswer(); });
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
    if (EditorHoldsWork()) {
        NotAnswered("not answered: the program in the editor is not saved");
    } else if (hosts_.LoadFile(answerPath_) && send_.RequestedSend()) {
        return;
    }
    Resume();
}

void Automation::NotAnswered(const std::string& reason) {
    answerPending_ = false;
    hosts_.Status.ShowStatus("Request for " + answerNumber_ + " " + reason);
    Log({{}, "request", answerNumber_, 0, 0, reason});
}

bool Automation::EditorHoldsWork() const {
    return state_.ReceivedUnsaved || hosts_.Editor.EditorModified();
}

void Automation::File(const std::vector<std::string>& lines) {
    const std::string name = ProgramNumber(lines).value_or(UnnumberedName(now_()));
    const std::string text = ProgramText(lines);
    const std::string folder = ReceiveFolder();
    NewProgramFile saved = SaveNewProgram(folder, name, settings_.DefaultExt, text);
    std::string note;
    // A program that came is kept even when its folder refuses it.
    if (saved.error != 0 && folder != state_.ProgramDir) {
        note = " (" + folder + ": " + std::strerror(saved.error) + ")";
        saved = SaveNewProgram(state_.ProgramDir, name, settings_.DefaultExt, text);
    }
    TransferRecord record{{},          "receive",
                          saved.path,  static_cast<std::int64_t>(lines.size()),
                          text.size(), "completed"};
    if (saved.error != 0) {
        record.Result = std::strerror(saved.error);
        hosts_.Status.ShowStatus("Cannot save " + saved.path + ": " + record.Result + note);
    } else {
        hosts_.Status.ShowStatus("Saved " + saved.path + note);
        hosts_.RefreshFiles();
    }
    hosts_.Status.ShowProgress("Received " + std::to_string(lines.size()) + " lines, " +
                               std::to_string(text.size()) + " bytes");
    Log(record);
}

// The profile's receive folder, else the machine's folder, else the folder
// of the profiles: a program that came is never dropped for want of one.
std::string Automation::ReceiveFolder() const {
    if (!automation_.ReceiveDir.empty()) {
        return automation_.ReceiveDir;
    }
    return settings_.DefaultDir.empty() ? state_.ProgramDir : settings_.DefaultDir;
}

} // namespace feedrail
