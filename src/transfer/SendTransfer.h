#pragma once

#include "profiles/ActiveSettings.h"
#include "serial/TVaCustomComm.h"
#include "session/ProgramLines.h"
#include "session/RunState.h"
#include "session/StatusLine.h"
#include "session/TransferSession.h"
#include "session/UiHandOver.h"
#include "transfer/SendQueue.h"
#include "transfer/SendSource.h"
#include "transfer/TransferLog.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace feedrail {

// What a send needs of the window.
struct SendHosts {
    StatusLine& Status;
    // The program a send reads unless told another.
    ProgramLines& Program;
    UiHandOver& Ui;
    TransferSession& Session;
    // The leader switch in effect.
    std::function<bool()> Leader;
};

// Sending the editor's program to the machine: the request, the start for each
// handshake, and the pump that hands the port whole lines as its output
// queue empties. The machine's flow control is the device's to obey (the
// handshake's lines, and under Xon/Xoff its XOFF, which holds the output);
// the pump only keeps the queue short, so that Stop drops little and the
// progress tells the truth.
class SendTransfer {
public:
    SendTransfer(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                 const SendHosts& hosts);

    void SendButtonClick();
    // As Send, with `program` read in the editor's place until the send
    // ends; `from`, where it starts, goes to the transfer log.
    void SendProgramFrom(ProgramLines& program, std::string from);
    // Sends the editor's program to a machine that asked for it and, under
    // Xon/Xoff, has sent its XON since: on the port as it is open, at once.
    // False when the session refuses it.
    bool RequestedSend();
    // Runs when the port has been reopened for a requested send.
    void SendStart();
    void SendProgram();
    // A character from the machine during a send: under an XON/XOFF
    // handshake its XON starts a send that waits for it, its XOFF and XON
    // pause and resume one that runs, and its DC4 ends one that waits.
    void MachineControl(char character);
    // The whole tape is handed to the port: what is left is its delivery.
    bool AllHanded() const { return running_ && stage_ == Stage::Delivering; }
    // The device went: the send ends at once, `status` saying why.
    void LineLost(LineStatus status);
    // The send ends at once for another reason (the service stops): what the
    // driver still holds is dropped, `result` goes to the transfer log.
    void Abandon(LineStatus status, std::string result);
    // Stop and Esc: the send ends at once. Between lines (nothing of a line
    // waits in the port) the trailer still goes out; in the middle of one,
    // what the port holds is dropped. Whether a send was under way.
    bool Cancel();

    // A request under Xon/Xoff waits for the machine's XON (`waiting`), or
    // has stopped waiting without a send: from the wait on, the device
    // follows the machine's XON and XOFF, so that an XOFF that comes before
    // the answer starts still holds it. A send under way keeps the hold.
    void AwaitRequestXon(bool waiting);

    // Whether the pump is running now.
    bool Running() const { return running_; }
    // The pump runs and the machine's last word was its XOFF.
    bool PausedByMachine() const { return running_ && !xonState_; }
    // Called with each send's outcome when it ends.
    void OnEnded(std::function<void(TransferRecord)> ended) { ended_ = std::move(ended); }

private:
    // The machine's XON has come for a send that waits for it.
    void MachineReady();
    // The machine's DC4 ends a send that waits for its XON.
    void MachineDeclined();
    // What the pump does at its next pass.
    enum class Stage { Lines, LineOut, Pausing, Delivering };

    // The request of Send, of `program`; false when it is refused.
    bool RequestSend(ProgramLines& program, std::string from);
    bool Encodable(const ProgramLines& program);
    void Pump();
    void PumpLines();
    // Takes the next line into bytes_; false when the program has ended.
    bool NextLine();
    void Schedule(std::chrono::milliseconds wait);
    void StartPause();
    // Ends the send the way it ended well; `result` goes to the transfer log.
    void Finish(const char* result = "completed");
    void Delivered();
    void QueueTrailer();
    void DropQueued();
    // The progress and the highlight follow the lines that have left the
    // port while it holds `queued`.
    void Follow(std::size_t queued);
    void Complete(const std::string& result);
    // A send cancelled in the middle of a line: what the driver still holds
    // never reaches the machine.
    void Cancelled();
    // Whether the progress was shown: at most every ProgressInterval unless forced.
    bool Progress(int line, int lines, bool force);
    // The progress and the highlight at the line going out (the last once
    // all is out), now or, held back by the interval, when it ends.
    void ShowWhereItStands(bool force);
    void LineOut();
    // Every end comes here: the pump stops and the outcome is recorded.
    void Ended(std::string result);

    RunState& state_;
    const ActiveSettings& settings_;
    TVaCustomComm& port_;
    StatusLine& status_;
    ProgramLines& editor_;
    SendSource source_;
    SendQueue queue_;
    UiHandOver& ui_;
    TransferSession& session_;
    std::function<bool()> leader_;
    std::chrono::steady_clock::time_point lastProgress_{};
    std::uint64_t totalBytes_ = 0;
    bool running_ = false;
    // The machine's last word on the flow: its XON (or a handshake without
    // one) rather than its XOFF.
    bool xonState_ = false;
    bool progressHeld_ = false;
    // SendStart runs for an answer whose XON has come already.
    bool answering_ = false;
    Stage stage_ = Stage::Lines;
    // Each scheduled pass carries the ticket it was given; only the latest
    // one runs, so that a pass left over from an ended send does nothing.
    std::uint64_t ticket_ = 0;
    int line_ = 0;
    int lines_ = 0;
    std::string bytes_;
    std::size_t offset_ = 0;
    bool percentLineSent_ = false;
    bool closingLine_ = false;
    bool trailerDue_ = false;
    std::string result_;
    std::function<void(TransferRecord)> ended_;
    // Set when the send is ended from outside: the device went, or the
    // service stops.
    struct Ending {
        LineStatus Status;
        std::string Result;
        bool LineGone = false;
    };
    std::optional<Ending> ending_;
    void EndNow(Ending ending);
};

} // namespace feedrail
