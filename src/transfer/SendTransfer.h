#pragma once

#include "app/Buttons.h"
#include "app/EditorLines.h"
#include "app/KeyPoll.h"
#include "app/RunState.h"
#include "app/StatusLine.h"
#include "app/UiHandOver.h"
#include "profiles/ActiveSettings.h"
#include "serial/TVaCustomComm.h"
#include "transfer/TransferLog.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace feedrail {

// What a send needs of the window.
struct SendHosts {
    StatusLine& Status;
    Buttons& ButtonRow;
    KeyPoll& Keys;
    EditorLines& Editor;
    UiHandOver& Ui;
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
    void RequestedSend();
    // Runs when the port has been reopened for a requested send.
    void SendStart();
    void SendProgram();
    // The machine's XON has come for a send that waits for it.
    void MachineReady();
    void Comm1Cts();

    // Whether the send loop is running now.
    bool Running() const { return running_; }
    // Called with each send's outcome when its loop ends.
    void OnEnded(std::function<void(TransferRecord)> ended) { ended_ = std::move(ended); }

private:
    enum class Gate { Open, Cancelled };

    // What every send request does first.
    void Request();

    void SendLines();
    Gate LineStart();
    Gate ByteGate();
    bool HeldByMachine();
    void WriteByte(char byte);
    void Pause();
    // Ends the send the way it ended well; `result` goes to the transfer log.
    void Finish(const char* result = "completed");
    void Progress(int line, int lines, bool force);
    void Ended(std::string result);

    RunState& state_;
    const ActiveSettings& settings_;
    TVaCustomComm& port_;
    StatusLine& status_;
    Buttons& buttons_;
    KeyPoll& keys_;
    EditorLines& editor_;
    UiHandOver& ui_;
    std::function<bool()> leader_;
    std::chrono::steady_clock::time_point lastProgress_{};
    bool running_ = false;
    std::uint64_t bytesSent_ = 0;
    std::function<void(TransferRecord)> ended_;
};

} // namespace feedrail
