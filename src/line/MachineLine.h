#pragma once

#include "line/LineSnapshot.h"
#include "profiles/ActiveSettings.h"
#include "serial/TVaComm.h"
#include "session/ProgramLines.h"
#include "session/ReceivedLines.h"
#include "session/RunState.h"
#include "session/StatusLine.h"
#include "session/TransferSession.h"
#include "session/UiHandOver.h"
#include "transfer/Automation.h"
#include "transfer/LineLoss.h"
#include "transfer/ReceiveTransfer.h"
#include "transfer/SendTransfer.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace feedrail {

// What a machine's line needs of whoever runs it: the window or the service.
struct MachineLineHosts {
    RunState& State;
    TransferSession& Session;
    const ActiveSettings& Settings;
    // Where the transfers and Auto Receive say what they do.
    StatusLine& Status;
    // Where the loss of the device and its return are told.
    StatusLine& LossStatus;
    // The program a send reads.
    ProgramLines& Program;
    // What a receive fills: the window's editor; none in the service.
    ReceivedLines* Received;
    UiHandOver& Ui;
    // The thread the port's events are handled on.
    EventHandOver& Events;
    // Where com<N> links are looked for.
    std::string ProgramDir;
    // The leader switch in effect.
    std::function<bool()> Leader;
    std::function<void(const std::string& path, const std::string& earlier)> ShowFiledProgram;
    std::function<bool(const std::string& path)> LoadFile;
    std::function<void(const std::string& text)> ShowError;
    // Opens the port again after its device came back.
    std::function<void()> ReopenPort;
    // The device of an opening was reached, at once or later.
    std::function<void()> Reached;
    // Finds a request's program away from the line's thread; unset, the
    // line finds it at once.
    std::function<void(const std::string& number, std::function<void(ProgramLookup)> found)>
        FindProgram;
};

// One machine's line: its port and everything that moves bytes over it (the
// send, the receive, Auto Receive and Remote Request, and what is done when
// the device goes), wired once, the same for the window and the service.
class MachineLine {
public:
    explicit MachineLine(MachineLineHosts hosts);
    MachineLine(const MachineLine&) = delete;
    MachineLine& operator=(const MachineLine&) = delete;

    // Gives the port the machine's device and line format.
    void ApplyProfile();
    // Opens the port with the machine's settings and sets its handshake
    // lines; on failure the port is left closed and the error is thrown.
    void OpenPort();

    // Any of the line's own thread's moments.
    LineSnapshot Snapshot() const;
    // Called with every transfer recorded: a send, a receive, a program filed
    // or a request answered, with its outcome.
    void OnRecord(std::function<void(const TransferRecord&)> recorded);

    TVaComm& Port() { return port_; }
    SendTransfer& Send() { return send_; }
    ReceiveTransfer& Receive() { return receive_; }
    Automation& Unattended() { return automation_; }
    LineLoss& Loss() { return lineLoss_; }

private:
    // What the line told last, for the snapshot.
    struct Told {
        std::optional<LineStatus> Status;
        std::optional<TransferProgress> Progress;
    };
    // A status line of the line's own: it keeps what is told for the
    // snapshot and passes everything on to the host's.
    class Relay : public StatusLine {
    public:
        Relay(StatusLine& host, Told& told) : host_(host), told_(told) {}
        void ShowStatus(const LineStatus& status) override;
        void ShowProgress(const TransferProgress& progress) override;

    private:
        StatusLine& host_;
        Told& told_;
    };

    void BindPortEvents();
    void Recorded(const TransferRecord& record);

    MachineLineHosts hosts_;
    Told told_;
    Relay relay_;
    Relay lossRelay_;
    TVaComm port_;
    SendTransfer send_;
    ReceiveTransfer receive_;
    Automation automation_;
    LineLoss lineLoss_;
    std::vector<std::function<void(const TransferRecord&)>> recorded_;
    std::optional<TransferRecord> lastRecord_;
    std::chrono::system_clock::time_point lastRecordAt_{};
};

} // namespace feedrail
