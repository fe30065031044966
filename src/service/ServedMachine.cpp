#include "service/ServedMachine.h"

#include "common/LocalTime.h"
#include "line/ProgressText.h"
#include "line/StatusText.h"
#include "serial/EVaCommError.h"
#include "serial/device/DevicePath.h"
#include "transfer/PortSetup.h"

#include <filesystem>
#include <future>
#include <stdexcept>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

std::string FileStem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

} // namespace

ServedMachine::ServedMachine(std::string profileFolder, MachineConfig config, JournalLog& log,
                             SharedThreads threads)
    : config_(std::move(config)), log_(log), loop_(threads.Loops),
      files_(threads.Files,
             [this](const std::string& error) {
                 log_.Write(JournalLog::Error, config_.Machine + ": " + error);
             }),
      line_({.State = state_,
             .Session = session_,
             .Settings = config_.Settings,
             .Status = *this,
             .LossStatus = warnings_,
             .Program = program_,
             .Received = nullptr,
             .Ui = *this,
             .Events = loop_,
             .ProgramDir = profileFolder,
             .Leader = [this] { return config_.Leader; },
             .ShowFiledProgram =
                 [this](const std::string& path, const std::string& earlier) {
                     comparison_.Compare(path, earlier, config_.Settings.DefaultDir,
                                         config_.Settings.DefaultExt);
                 },
             .LoadFile = [this](const std::string& path) { return Answer(path); },
             .ShowError = [this](const std::string& text) { Log(JournalLog::Error, text); },
             .ReopenPort =
                 [this] {
                     OpenPort();
                     session_.PortOpened();
                 },
             .Reached = [this] { LogOnce(JournalLog::Info, portTitle_ + " Ready"); },
             .FindProgram =
                 [this](const std::string& number, std::function<void(ProgramLookup)> found) {
                     FindProgram(number, std::move(found));
                 }}),
      comparison_(threads.Comparisons, [this](const std::string& text) {
          log_.Write(JournalLog::Info, config_.Machine + ": " + text);
      }) {
    state_.ProgramDir = std::move(profileFolder);
    line_.OnRecord([this](const TransferRecord& record) { Recorded(record); });
    line_.Unattended().Configure(config_.Machine, config_.Automation);
    loop_.OnError([this](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& failure) {
            Log(JournalLog::Error, failure.what());
        } catch (...) {
            Log(JournalLog::Error, "an unknown error");
        }
    });
    line_.ApplyProfile();
    portName_ = line_.Port().GetDeviceName();
    portTitle_ = PortTitle(portName_);
    status_.Machine = config_.Machine;
    status_.Port = portTitle_;
    status_.State = "starting";
}

// The file lane's tasks use the machine: none runs once it has closed.
ServedMachine::~ServedMachine() {
    Stop();
    stopFiles_.request_stop();
    files_.Close();
}

void ServedMachine::Start() {
    started_ = true;
    loop_.Post([this] { OpenPortUntilOpen(); });
}

void ServedMachine::RequestStop(const std::string& why) {
    loop_.Post([this, why] { BeginStop(why); });
}

void ServedMachine::Stop() {
    if (!started_) {
        return;
    }
    RequestStop();
    stoppedFuture_.wait();
}

bool ServedMachine::OpenPort() {
    try {
        line_.OpenPort();
    } catch (const EVaCommError& error) {
        openFailure_ = error.what();
        return false;
    }
    openFailure_.clear();
    // A device server may take seconds to answer: Ready once it has.
    if (!line_.Port().Connecting()) {
        LogOnce(JournalLog::Info, portTitle_ + " Ready");
    }
    return true;
}

void ServedMachine::OpenPortUntilOpen() {
    if (stopping_ || line_.Port().Active()) {
        return;
    }
    if (!OpenPort()) {
        LogOnce(JournalLog::Warning, openFailure_ + "; trying again until it opens");
        loop_.After(openBackoff_.Failed(), [this] { OpenPortUntilOpen(); });
    }
    session_.PortOpened();
}

// A send in progress ends at once, what the port holds dropped. Nothing of
// the machine runs on its loop afterwards: the loop serves the others.
void ServedMachine::BeginStop(const std::string& why) {
    stopReason_ = why;
    stopping_ = true;
    line_.Send().Abandon({.Code = StatusCode::ServiceEnds},
                         "abandoned: " + std::string(StopReason));
    try {
        Shutdown();
    } catch (...) {
        loop_.HandleException(std::current_exception());
    }
    loop_.Close();
    stopped_.set_value();
}

void ServedMachine::Shutdown() {
    line_.Unattended().Abandon(std::string(StopReason));
    try {
        line_.Port().Close();
    } catch (const EVaCommError& error) {
        Log(JournalLog::Warning, error.what());
    }
    // The watchers see the line's last bytes, then why they end.
    if (watching_) {
        std::uint64_t lost = 0;
        watchers_.Hand(line_.Port().TakeLineTraffic(lost), lost);
    }
    watchers_.End(stopReason_);
    const std::lock_guard lock(statusMutex_);
    status_.State = "stopped";
}

std::shared_ptr<TrafficQueue> ServedMachine::Watch(std::size_t limit) {
    std::shared_ptr<TrafficQueue> queue = watchers_.Add(limit);
    loop_.Post([this] { StartWatching(); });
    return queue;
}

void ServedMachine::StartWatching() {
    if (watching_ || stopping_) {
        return;
    }
    watching_ = true;
    line_.Port().WatchLine(true);
    loop_.After(WatchInterval, [this] { PassTraffic(); });
}

// The last watcher gone, the port keeps nothing more.
void ServedMachine::PassTraffic() {
    std::uint64_t lost = 0;
    std::vector<TappedBytes> pieces = line_.Port().TakeLineTraffic(lost);
    if (watchers_.Hand(pieces, lost)) {
        loop_.After(WatchInterval, [this] { PassTraffic(); });
        return;
    }
    line_.Port().WatchLine(false);
    watching_ = false;
}

// The program was opened when it was found: nothing here waits on the
// folder.
bool ServedMachine::Answer(const std::string& path) {
    if (const std::string error = program_.Load(path); !error.empty()) {
        Log(JournalLog::Error, error);
        return false;
    }
    state_.CurrentFile = path;
    return true;
}

// The folder is searched and the program opened and read into on the file
// lane, so that a folder that makes them wait holds no loop.
void ServedMachine::FindProgram(const std::string& number,
                                std::function<void(ProgramLookup)> found) {
    finding_ = number;
    files_.Post([this, number, found = std::move(found), stop = stopFiles_.get_token()]() mutable {
        const std::string& folder = config_.Settings.DefaultDir;
        ProgramLookup lookup;
        ServedProgram::Opened opened;
        try {
            lookup = index_.Find(folder, number, config_.Settings.DefaultExt);
            if (lookup.Path) {
                opened = ServedProgram::Open(*lookup.Path, folder, stop);
            }
        } catch (const std::exception& error) {
            lookup = {std::nullopt, {std::string("cannot search ") + folder + ": " + error.what()}};
        }
        loop_.Post([this, lookup = std::move(lookup), opened = std::move(opened),
                    found = std::move(found)]() mutable {
            finding_.clear();
            program_.Prepare(std::move(opened));
            found(lookup);
        });
    });
}

void ServedMachine::Recorded(const TransferRecord& record) {
    std::string text = record.Direction + " " + record.File;
    if (record.Lines > 0) {
        text += " (" + std::to_string(record.Lines) + " lines)";
    }
    text += ": " + record.Result + " at " +
            LocalTimeText(std::chrono::system_clock::now(), "%Y-%m-%d %H:%M:%S");
    const std::lock_guard lock(statusMutex_);
    status_.LastTransfer = std::move(text);
}

// A control holds a send with XOFF as often as its buffer fills, every few
// hundred characters: the journal keeps the transfer's steps, and `status`
// and the web page show the holds. A line lost in a send is the loss the
// line's retries go on to tell: a warning, told once.
void ServedMachine::ShowStatus(const LineStatus& status) {
    const std::string text = StatusText(status, StatusAudience::Service);
    switch (status.Code) {
    case StatusCode::PausedByMachine:
        return;
    case StatusCode::Sending:
        LogOnce(JournalLog::Info, text);
        return;
    case StatusCode::PortGone:
    case StatusCode::ConnectionLost:
        LogOnce(JournalLog::Warning, text);
        return;
    default:
        Log(JournalLog::Info, text);
    }
}

void ServedMachine::Warnings::ShowStatus(const LineStatus& status) {
    machine_.LogOnce(JournalLog::Warning, StatusText(status, StatusAudience::Service));
}

void ServedMachine::Log(JournalLog::Priority priority, const std::string& text) {
    if (text.empty() || text == " ") {
        return;
    }
    lastLogged_ = text;
    log_.Write(priority, config_.Machine + ": " + text);
}

void ServedMachine::LogOnce(JournalLog::Priority priority, const std::string& text) {
    if (text != lastLogged_) {
        Log(priority, text);
    }
}

void ServedMachine::Defer(std::function<void()> work) {
    loop_.Defer(std::move(work));
}

void ServedMachine::After(std::chrono::milliseconds time, std::function<void()> work) {
    loop_.After(time, std::move(work));
}

void ServedMachine::ArmCommOpenTimer() {
    throw std::logic_error("the service starts no transfer of its own: nothing reopens the port");
}

MachineStatus ServedMachine::Status(std::chrono::steady_clock::time_point until) const {
    auto answer = std::make_shared<std::promise<MachineStatus>>();
    std::future<MachineStatus> status = answer->get_future();
    loop_.Post([this, answer] { answer->set_value(Snapshot()); });
    // A machine stopped never answers: its last state is its answer.
    try {
        if (status.wait_until(until) == std::future_status::ready) {
            return status.get();
        }
    } catch (const std::future_error&) {
    }
    const std::lock_guard lock(statusMutex_);
    MachineStatus last = status_;
    // Too busy to answer is busy: a reload does not stop it now.
    last.Busy = true;
    return last;
}

MachineStatus ServedMachine::Snapshot() const {
    const LineSnapshot line = line_.Snapshot();
    const std::lock_guard lock(statusMutex_);
    status_.State = State(line);
    status_.Busy = !stopping_ && (line.Sending || line.Collecting.has_value() || line.AwaitingXon ||
                                  !finding_.empty());
    status_.Line = line;
    status_.Program = FileStem(program_.Path());
    status_.Stopping = stopping_;
    status_.Finding = !finding_.empty();
    return status_;
}

// Until its first line goes, the progress kept is an earlier transfer's.
std::string ServedMachine::SendFigures(const LineSnapshot& line) {
    const auto& progress = line.Progress;
    if (line.Phase != TransferPhase::Sending || !progress ||
        progress->Direction != TransferProgress::Way::Send) {
        return "0 %";
    }
    return std::to_string(progress->Percent().value_or(0)) + " %, " + ProgressFigures(*progress);
}

std::string ServedMachine::State(const LineSnapshot& line) const {
    if (stopping_) {
        return "stopping";
    }
    if (!line.PortOpen) {
        return "port gone and retrying" + (openFailure_.empty() ? "" : ": " + openFailure_);
    }
    if (!finding_.empty()) {
        return "finding " + finding_ + " to send";
    }
    if (line.Sending) {
        return "sending " + FileStem(program_.Path()) + " " + SendFigures(line) +
               (line.PausedByMachine ? ", paused by the machine (XOFF)" : "");
    }
    if (const auto& collected = line.Collecting) {
        return "receiving " + (collected->Number.empty() ? "" : collected->Number + " ") +
               std::to_string(collected->Lines) + " lines, " +
               ProgressFigures(
                   {TransferProgress::Way::Receive, 0, 0, collected->Bytes, 0, collected->Elapsed});
    }
    if (line.AwaitingXon) {
        return "waiting for the machine's XON to send " + FileStem(program_.Path());
    }
    if (line.Reaching) {
        return "reaching the device server";
    }
    return line.Listening ? "listening" : "idle";
}

} // namespace feedrail
