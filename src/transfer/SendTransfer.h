#pragma once

#include "profiles/ActiveSettings.h"
#include "serial/TVaCustomComm.h"
#include "session/EditorLines.h"
#include "session/KeyPoll.h"
#include "session/RunState.h"
#include "session/StatusLine.h"
#include "session/TransferSession.h"
#include "session/UiHandOver.h"
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
    KeyPoll& Keys;
    EditorLines& Editor;
    UiHandOver& Ui;
    TransferSession& Session;
    // The leader switch in effect.
    std::function<bool()> Leader;
};

// Sending the editor's program to the machine: the request, the start for each
// handshake, and the loop that writes it line by line, byte by byte.
class SendTransfer {
public:
    SendTransfer(RunState& state, const ActiveSettings& settings, TVaCustomComm& port,
                 const SendHosts& hosts);

    void SendButtonClick();
    // Sends the editor's program to a machine that asked for it and, under
    // Xon/Xoff, has sent its XON since: on the port as it is open, at once.
    // False when the session refuses it.
    bool RequestedSend();
    // Runs when the port has been reopened for a requested send.
    void SendStart();
    void SendProgram();
    // The machine's XON has come for a send that waits for it.
    void MachineReady();
    // The machine's XOFF and XON while the send runs.
    void MachinePaused();
    void MachineResumed();
    // The machine's DC4 ends a send that waits for its XON.
    void MachineDeclined();
    // The device went: the send ends at once, `status` saying why.
    void LineLost(std::string status);
    // The send ends at once for another reason (the service stops): what the
    // driver still holds is dropped, `result` goes to the transfer log.
    void Abandon(std::string status, std::string result);
    // Stop and Esc: a send that waits for the port or the machine's XON ends
    // at once, a running one at its next byte. Whether a send was under way.
    bool Cancel();
    void Comm1Cts();

    // Whether the send loop is running now.
    bool Running() const { return running_; }
    // Called with each send's outcome when its loop ends.
    void OnEnded(std::function<void(TransferRecord)> ended) { ended_ = std::move(ended); }

private:
    enum class Gate { Open, Cancelled };

    bool Encodable();
    void SendLines();
    // Polls Esc and lets the window breathe until `ready` says the send may go
    // on; Esc or a cancel ends the wait.
    Gate WaitUntil(const std::function<bool()>& ready);
    Gate LineStart();
    Gate ByteGate();
    bool HeldByMachine();
    void WriteByte(char byte);
    void Pause();
    // Ends the send the way it ended well; `result` goes to the transfer log.
    void Finish(const char* result = "completed");
    // A send cancelled in the middle of a line: what the driver still holds
    // never reaches the machine.
    void Cancelled();
    void Progress(int line, int lines, bool force);
    void Ended(std::string result);

    RunState& state_;
    const ActiveSettings& settings_;
    TVaCustomComm& port_;
    StatusLine& status_;
    KeyPoll& keys_;
    EditorLines& editor_;
    UiHandOver& ui_;
    TransferSession& session_;
    std::function<bool()> leader_;
    std::chrono::steady_clock::time_point lastProgress_{};
    bool running_ = false;
    std::uint64_t bytesSent_ = 0;
    std::function<void(TransferRecord)> ended_;
    // Set when the send is ended from outside: the device went, or the
    // service stops.
    struct Ending {
        std::string Status;
        std::string Result;
        bool LineGone = false;
    };
    std::optional<Ending> ending_;
    void EndNow(Ending ending);
};

} // namespace feedrail
