#pragma once

#include "line/MachineLine.h"
#include "service/FiledComparison.h"
#include "service/JournalLog.h"
#include "service/LineWatchers.h"
#include "service/LoopPool.h"
#include "service/MachineConfig.h"
#include "service/MachineLoop.h"
#include "service/ServedProgram.h"
#include "service/TaskLane.h"
#include "session/RunState.h"
#include "session/StatusLine.h"
#include "session/TransferSession.h"
#include "session/UiHandOver.h"
#include "transfer/RetryBackoff.h"

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

namespace feedrail {

// What `feedrail-dnc status` shows of one machine.
struct MachineStatus {
    std::string Machine;
    std::string Port;
    // "listening", "receiving O1234 240 lines", "sending O5678 40 %",
    // "port gone and retrying: ...", "disabled".
    std::string State;
    // The last transfer and its result; empty before the first.
    std::string LastTransfer;
    // A transfer runs or waits for the machine's XON.
    bool Busy = false;
    // The facts behind State, for a served machine; the program being sent
    // and whether the machine is being stopped.
    std::optional<LineSnapshot> Line;
    std::string Program;
    bool Stopping = false;
    // A requested program is being looked for in the machine's folder.
    bool Finding = false;
};

// The service's threads a machine shares with the others.
struct SharedThreads {
    // Serve its port, its transfers and its watchers.
    LoopPool& Loops;
    // Compare each program filed with the stored one.
    TaskPool& Comparisons;
    // Do what may wait on a folder: each machine's tasks in order.
    TaskPool& Files;
};

// One machine served without a window, on one of the service's loops: its
// port opened and listened to, punched programs filed and requests answered
// from their files by the same MachineLine the window builds. A port that
// cannot be opened is tried again, less often the longer it fails.
class ServedMachine : StatusLine, UiHandOver {
public:
    ServedMachine(std::string profileFolder, MachineConfig config, JournalLog& log,
                  SharedThreads threads);
    ~ServedMachine() override;
    ServedMachine(const ServedMachine&) = delete;
    ServedMachine& operator=(const ServedMachine&) = delete;

    const MachineConfig& Config() const { return config_; }
    // The port as DNC.ini names it: "com2", "/dev/ttyUSB0", an address.
    const std::string& PortName() const { return portName_; }
    void Start();
    // Ends the service of the machine: a transfer under way is logged as
    // abandoned, a program begun is kept as an incomplete file, the port is
    // closed. RequestStop starts it, so that many machines stop together;
    // Stop returns when all is done. The watchers of the line are told
    // `why`: the first reason asked stays.
    void RequestStop(const std::string& why = std::string(StopReason));
    void Stop();
    // Any thread. A watch of the line: every byte each way, with its time,
    // in the queue, until the queue is let go or the machine stops; the
    // port is watched only while someone watches. The queue keeps at most
    // `limit`.
    std::shared_ptr<TrafficQueue> Watch(std::size_t limit = TrafficQueue::DefaultLimit);

    static constexpr std::string_view StopReason = "the service stopped";
    // How often the watchers are handed what crossed the line.
    static constexpr std::chrono::milliseconds WatchInterval{100};
    // Any thread. The machine's own thread answers; one too busy to answer by
    // `until` shows its last state known.
    MachineStatus Status(std::chrono::steady_clock::time_point until) const;

private:
    // StatusLine
    void ShowStatus(const LineStatus& status) override;
    void ShowProgress(const TransferProgress&) override {}
    // UiHandOver
    void Defer(std::function<void()> work) override;
    void After(std::chrono::milliseconds time, std::function<void()> work) override;
    void ArmCommOpenTimer() override;

    // Opens the port as the window's port-open tick does; whether it opened.
    bool OpenPort();
    // OpenPort, and again until it opens, less often the longer it fails.
    void OpenPortUntilOpen();
    void BeginStop(const std::string& why);
    void Shutdown();
    void StartWatching();
    void PassTraffic();
    bool Answer(const std::string& path);
    // A request's program found and opened on the file lane.
    void FindProgram(const std::string& number, std::function<void(ProgramLookup)> found);
    void Recorded(const TransferRecord& record);
    void Log(JournalLog::Priority priority, const std::string& text);
    // A message that repeats (a port tried again and again) is written once.
    void LogOnce(JournalLog::Priority priority, const std::string& text);
    MachineStatus Snapshot() const;
    std::string State(const LineSnapshot& line) const;
    // How far a send has come: "40 %, 4.1 of 13.6 kB, 960 bytes/s, 10 s left".
    static std::string SendFigures(const LineSnapshot& line);

    // The line-loss messages go to the journal as warnings.
    class Warnings : public StatusLine {
    public:
        explicit Warnings(ServedMachine& machine) : machine_(machine) {}
        void ShowStatus(const LineStatus& status) override;
        void ShowProgress(const TransferProgress&) override {}

    private:
        ServedMachine& machine_;
    };

    MachineConfig config_;
    JournalLog& log_;
    mutable MachineLoop loop_;
    // Ends a long read on the file lane when the machine stops.
    std::stop_source stopFiles_;
    TaskLane files_;
    // Only the file lane's tasks use it.
    ProgramIndex index_;
    RunState state_;
    TransferSession session_{state_};
    ServedProgram program_{files_, loop_};
    Warnings warnings_{*this};
    MachineLine line_;
    std::string portName_;
    std::string portTitle_;
    bool stopping_ = false;
    std::string stopReason_;
    // The number of the request whose program is being found.
    std::string finding_;
    LineWatchers watchers_;
    bool watching_ = false;
    std::string lastLogged_;
    std::string openFailure_;
    RetryBackoff openBackoff_;
    // Each program filed against the stored one of its number, on the
    // comparison threads: the journal, not lastLogged_, takes what it says.
    FiledComparison comparison_;
    // Only the thread that starts and stops the machine reads it.
    bool started_ = false;
    std::promise<void> stopped_;
    std::shared_future<void> stoppedFuture_ = stopped_.get_future().share();

    mutable std::mutex statusMutex_;
    mutable MachineStatus status_;
};

} // namespace feedrail
