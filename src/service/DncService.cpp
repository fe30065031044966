#include "service/DncService.h"

#include "profiles/ProfileFile.h"
#include "serial/device/DevicePath.h"

#include <algorithm>
#include <set>
#include <thread>

namespace feedrail {
namespace {

std::string PortOf(const ActiveSettings& settings) {
    return PortTitle(settings.CommDevice.empty() ? "com" + std::to_string(settings.CommPort)
                                                 : settings.CommDevice);
}

} // namespace

DncService::DncService(std::string profileFolder, JournalLog& log)
    : profileFolder_(std::move(profileFolder)), log_(log) {}

DncService::~DncService() {
    Stop();
}

// Two loops at least, so that machines share a loop with some and not all
// others even on one processor.
std::size_t DncService::MachineLoops() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 4);
}

void DncService::Load() {
    std::vector<MachineConfig> configs = ReadMachineConfigs(profileFolder_);
    std::map<std::string, std::shared_ptr<ServedMachine>> kept;
    std::vector<std::shared_ptr<ServedMachine>> changed;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& entry : served_) {
            const std::string& name = entry.first;
            const auto now =
                std::find_if(configs.begin(), configs.end(),
                             [&](const MachineConfig& c) { return c.Machine == name; });
            if (now != configs.end() && ServedAlike(*now, entry.second->Config())) {
                kept.emplace(entry);
            } else {
                changed.push_back(entry.second);
            }
        }
    }
    const std::vector<std::shared_ptr<ServedMachine>> gone = StopWhenIdle(changed, kept);
    // Stopped before their successors open the same ports.
    for (const auto& machine : gone) {
        log_.Write(JournalLog::Notice, machine->Config().Machine + ": no longer served as it was");
        machine->RequestStop("DNC.ini changed: " + machine->Config().Machine +
                             " is no longer served as it was");
    }
    for (const auto& machine : gone) {
        machine->Stop();
    }
    std::map<std::string, std::string> ports;
    for (const auto& [name, machine] : kept) {
        ports.emplace(machine->PortName(), name);
    }
    std::map<std::string, std::string> refused;
    try {
        for (const MachineConfig& config : configs) {
            if (!config.Automation.Listens() || kept.contains(config.Machine)) {
                continue;
            }
            auto machine = std::make_shared<ServedMachine>(
                profileFolder_, config, log_, SharedThreads{loops_, comparisons_, files_});
            const auto [other, added] = ports.emplace(machine->PortName(), config.Machine);
            if (!added) {
                refused[config.Machine] =
                    "not served: its port " + machine->PortName() + " is " + other->second + "'s";
                if (RefusedBefore(config.Machine) != refused[config.Machine]) {
                    log_.Write(JournalLog::Error, config.Machine + ": " + refused[config.Machine]);
                }
                continue;
            }
            machine->Start();
            log_.Write(JournalLog::Notice, config.Machine + ": served");
            kept.emplace(config.Machine, std::move(machine));
        }
    } catch (...) {
        // The machines that run go on; the file's other changes wait for
        // the next reload.
        const std::lock_guard lock(mutex_);
        served_ = std::move(kept);
        throw;
    }
    if (kept.empty()) {
        log_.Write(JournalLog::Warning, "no machine to serve: none has Auto Receive or Remote "
                                        "Request on");
    }
    const std::lock_guard lock(mutex_);
    served_ = std::move(kept);
    configs_ = std::move(configs);
    refused_ = std::move(refused);
}

// A machine in the middle of a transfer is served as it was until the
// transfer ends (the reload is then made again): a punch or an answer is
// never cut short by a change of DNC.ini.
std::vector<std::shared_ptr<ServedMachine>>
DncService::StopWhenIdle(const std::vector<std::shared_ptr<ServedMachine>>& changed,
                         std::map<std::string, std::shared_ptr<ServedMachine>>& kept) {
    std::vector<std::shared_ptr<ServedMachine>> gone;
    std::set<std::string> waiting;
    const auto until = std::chrono::steady_clock::now() + StatusWait;
    for (const auto& machine : changed) {
        const std::string& name = machine->Config().Machine;
        if (!machine->Status(until).Busy) {
            gone.push_back(machine);
            continue;
        }
        kept.emplace(name, machine);
        waiting.insert(name);
        if (!waiting_.contains(name)) {
            log_.Write(JournalLog::Notice,
                       name + ": DNC.ini changed; served as it was until its transfer ends");
        }
    }
    waiting_ = std::move(waiting);
    return gone;
}

// A reload made again while a machine's transfer ends says again only what
// has changed.
std::string DncService::RefusedBefore(const std::string& machine) const {
    const std::lock_guard lock(mutex_);
    const auto refused = refused_.find(machine);
    return refused == refused_.end() ? std::string() : refused->second;
}

bool DncService::ReloadWaits() const {
    return !waiting_.empty();
}

void DncService::Stop() {
    std::map<std::string, std::shared_ptr<ServedMachine>> served;
    {
        const std::lock_guard lock(mutex_);
        served.swap(served_);
    }
    for (const auto& [name, machine] : served) {
        machine->RequestStop();
    }
    for (const auto& [name, machine] : served) {
        machine->Stop();
    }
}

// The machines are asked without the lock held, so that a reload or another
// status never waits for a busy machine.
std::string DncService::StatusText() const {
    std::string text;
    for (const MachineStatus& status : Statuses()) {
        text += MachineStatusLine(status) + "\n";
    }
    return text;
}

std::vector<MachineStatus> DncService::Statuses() const {
    std::vector<MachineConfig> configs;
    std::map<std::string, std::shared_ptr<ServedMachine>> served;
    std::map<std::string, std::string> refused;
    {
        const std::lock_guard lock(mutex_);
        configs = configs_;
        served = served_;
        refused = refused_;
    }
    const auto until = std::chrono::steady_clock::now() + StatusWait;
    std::vector<MachineStatus> statuses;
    for (const MachineConfig& config : configs) {
        const auto machine = served.find(config.Machine);
        const auto reason = refused.find(config.Machine);
        if (machine != served.end()) {
            statuses.push_back(machine->second->Status(until));
            continue;
        }
        MachineStatus status;
        status.Machine = config.Machine;
        status.Port = PortOf(config.Settings);
        status.State = reason != refused.end() ? reason->second : "disabled";
        statuses.push_back(std::move(status));
    }
    return statuses;
}

LineWatch DncService::Watch(const std::string& machine, std::size_t limit) const {
    const std::lock_guard lock(mutex_);
    if (const auto served = served_.find(machine); served != served_.end()) {
        return {served->second->Watch(limit), PortTitle(served->second->PortName()), {}};
    }
    const auto config = std::find_if(configs_.begin(), configs_.end(),
                                     [&](const MachineConfig& c) { return c.Machine == machine; });
    if (config == configs_.end()) {
        return {nullptr, {}, "no machine " + machine + " in " + std::string(ProfileFile::FileName)};
    }
    const auto refused = refused_.find(machine);
    return {nullptr,
            {},
            machine + " is " +
                (refused != refused_.end() ? refused->second
                                           : "not served: its Auto Receive and Remote Request "
                                             "are off")};
}

std::string MachineStatusLine(const MachineStatus& status) {
    std::string line =
        status.Machine + "\t" + (status.Port.empty() ? "-" : status.Port) + "\t" + status.State;
    if (!status.LastTransfer.empty()) {
        line += "\tlast: " + status.LastTransfer;
    }
    return line;
}

} // namespace feedrail
