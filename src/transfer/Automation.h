#pragma once

#include "profiles/ActiveSettings.h"
#include "profiles/AutomationSettings.h"
#include "serial/TVaCustomComm.h"
#include "session/ReceivedLines.h"
#include "session/RunState.h"
#include "session/StatusLine.h"
#include "session/TransferSession.h"
#include "session/UiHandOver.h"
#include "transfer/ProgramCollector.h"
#include "transfer/ProgramFiler.h"
#include "transfer/ProgramIndex.h"
#include "transfer/SendTransfer.h"
#include "transfer/TransferLog.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace feedrail {

// What unattended DNC needs of the window.
struct AutomationHosts {
    StatusLine& Status;
    UiHandOver& Ui;
    TransferSession& Session;
    // The window's editor, whose unsaved work holds a load back; none in the
    // service.
    const ReceivedLines* Editor;
    // The file pane shows a program just filed, when it shows its folder;
    // `earlier` is where the program that had its name went (versions kept).
    std::function<void(const std::string& path, const std::string& earlier)> ShowFiledProgram;
    // Loads the file into the editor as Get does; whether it could.
    std::function<bool(const std::string& path)> LoadFile;
    // An error box: a program that no place would take.
    std::function<void(const std::string& text)> ShowError;
    // Finds the program a request names away from the line's thread, and
    // calls `found` with it on the line's thread later; unset, the request
    // is looked up at once.
    std::function<void(const std::string& number, std::function<void(ProgramLookup)> found)>
        FindProgram;
};

// Unattended DNC for the selected machine: while the session is idle it
// listens as a receive does, files every program the machine punches under
// its program number, answers a program request by sending that program,
// and keeps the transfer log. It follows the session: leaving Idle pauses
// it, coming back resumes it, and busy work holds an answer back.
class Automation {
public:
    using Clock = std::chrono::system_clock;

    Automation(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
               SendTransfer& send, AutomationHosts hosts,
               std::function<Clock::time_point()> now = Clock::now);

    // The selected machine and its options; whether they changed. Listening
    // with new ones waits for Pause and Resume.
    bool Configure(std::string machine, AutomationSettings settings);
    const AutomationSettings& Settings() const { return automation_; }

    // Whether programs the machine punches now are the automation's.
    bool Listening() const { return automation_.Listens() && !paused_; }
    // Whether the bytes that come now are the automation's: also between a
    // request and the machine's XON that starts its answer, and between the
    // end of a transfer and listening taken up again.
    bool Reading() const;
    // A request under Xon/Xoff waits for the machine's XON to be answered.
    bool AwaitingXon() const { return answerPending_; }
    // A manual transfer, a machine change or the settings dialog takes the
    // line; a program begun so far is dropped, and logged as such.
    void Pause();
    // Listens as a receive does, once the session is idle with the port open.
    void Resume();
    void ReadWaiting();
    void Comm1RxChar(int count);

    // How long an answer under Xon/Xoff waits for the machine's XON.
    static constexpr std::chrono::seconds AnswerXonTimeout{60};

    // What the machine punches now: the program's number once known, and
    // its lines so far; nothing between programs.
    struct Collected {
        std::string Number;
        std::uint64_t Lines = 0;
        std::uint64_t Bytes = 0;
        std::chrono::milliseconds Elapsed{0};
    };
    std::optional<Collected> Collecting() const;
    // The automation ends for good (the service stops): a request waiting
    // for its XON and a program begun are logged as abandoned, `reason`
    // saying why; the program is kept as incomplete.
    void Abandon(const std::string& reason);
    // Called with every transfer as it ends, whether the log is kept or not.
    void OnRecord(std::function<void(const TransferRecord&)> recorded) {
        recorded_ = std::move(recorded);
    }

    // Adds the transfer to the log when the machine keeps one.
    // Whether it could (the status line says why not).
    bool Log(TransferRecord record);
    // The device at `path` went, or came back: the log says so.
    void LineLost(const std::string& path);
    void LineBack(const std::string& path);

private:
    void SessionChanged();
    // The session is idle again and listening waits to be taken up.
    bool ResumeDue() const;
    void Take(char character);
    void Filed(FiledProgram program);
    void Answer(const std::string& number);
    void Found(const ProgramLookup& found);
    // The answer goes out once the handler that found it has returned.
    void QueueAnswer();
    void SendAnswer();
    // The request goes unanswered; `reason` goes to the status line and log.
    void NotAnswered(const std::string& reason);
    // Unsaved work in the editor: a request must not replace it.
    bool EditorHoldsWork() const;
    std::string ReceiveFolder() const;
    void KeepLeftovers(const std::vector<std::string>& places);

    RunState& state_;
    const ActiveSettings& settings_;
    TVaCustomComm& port_;
    SendTransfer& send_;
    AutomationHosts hosts_;
    std::function<Clock::time_point()> now_;
    std::string machine_;
    AutomationSettings automation_;
    bool paused_ = true;
    bool resumeDeferred_ = false;
    // A request under Xon/Xoff waits for the machine's XON to be answered.
    bool answerPending_ = false;
    // Each wait for an XON has its own number, so that the time-out of an
    // earlier one ends nothing.
    unsigned answerWait_ = 0;
    // An answer waits for busy work to end.
    bool answerHeld_ = false;
    // An answer waits for its handler to return.
    bool answerQueued_ = false;
    // A request's program is being found; the machine's XON came meanwhile.
    bool finding_ = false;
    bool xonWhileFinding_ = false;
    unsigned findings_ = 0;
    std::string answerNumber_;
    std::string answerPath_;
    std::string abandonReason_;
    std::function<void(const TransferRecord&)> recorded_;
    // A write of what has come is due.
    bool flushArmed_ = false;
    // The folders already searched for what a crash left.
    std::set<std::string> checkedPlaces_;
    ProgramFiler filer_;
    ProgramCollector collector_;
    ProgramIndex index_;
};

} // namespace feedrail
