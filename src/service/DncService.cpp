#include "service/DncService.h"

#include "serial/device/DevicePath.h"

#include <algorithm>

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

void DncService::Load() {
    std::vector<MachineConfig> configs = ReadMachineConfigs(profileFolder_);
    std::map<std::string, std::unique_ptr<ServedMachine>> kept;
    std::vector<std::unique_ptr<ServedMachine>> gone;
    {
        const std::lock_guard lock(mutex_);
        for (auto& [name, machine] : served_) {
            const auto now =
                std::find_if(configs.begin(), configs.end(),
                             [&](const MachineConfig& c) { return c.Machine == name; });
            if (now != configs.end() && *now == machine->Config()) {
                kept.emplace(name, std::move(machine));
            } else {
                gone.push_back(std::move(machine));
            }
        }
        served_.clear();
    }
    // Stopped before their successors open the same ports.
    for (auto& machine : gone) {
        log_.Write(JournalLog::Notice, machine->Config().Machine + ": no longer served as it was");
        machine->Stop();
    }
    gone.clear();
    for (const MachineConfig& config : configs) {
        if (!config.Automation.Listens() || kept.contains(config.Machine)) {
            continue;
        }
        auto machine = std::make_unique<ServedMachine>(profileFolder_, config, log_);
        log_.Write(JournalLog::Notice, config.Machine + ": served");
        machine->Start();
        kept.emplace(config.Machine, std::move(machine));
    }
    const std::lock_guard lock(mutex_);
    served_ = std::move(kept);
    configs_ = std::move(configs);
}

void DncService::Stop() {
    std::map<std::string, std::unique_ptr<ServedMachine>> served;
    {
        const std::lock_guard lock(mutex_);
        served = std::move(served_);
        served_.clear();
    }
    for (auto& [name, machine] : served) {
        machine->Stop();
    }
}

std::string DncService::StatusText() const {
    const std::lock_guard lock(mutex_);
    std::string text;
    for (const MachineConfig& config : configs_) {
        const auto served = served_.find(config.Machine);
        const MachineStatus status =
            served != served_.end()
                ? served->second->Status()
                : MachineStatus{config.Machine, PortOf(config.Settings), "disabled", {}};
        text += MachineStatusLine(status) + "\n";
    }
    return text;
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
