#include "service/MachineConfig.h"

#include "profiles/ProfileDefaults.h"
#include "profiles/ProfileFile.h"

namespace feedrail {

// The window reads the first machine at start-up and each machine over it
// when it is selected; the same reads give the same ports, codes and file
// names here.
std::vector<MachineConfig> ReadMachineConfigs(const std::string& profileFolder) {
    const ProfileFile profiles(profileFolder + std::string(ProfileFile::FileName));
    const std::vector<std::string> machines = profiles.MachineNames();
    std::vector<MachineConfig> configs;
    if (machines.empty()) {
        return configs;
    }
    const ActiveSettings startup = profiles.ReadStartupProfile(machines.front());
    for (const std::string& machine : machines) {
        MachineConfig config{machine, startup, {}, false};
        profiles.ReadSelectedProfile(machine, config.Settings);
        config.Automation = ReadAutomationSettings(profiles.Ini(), machine);
        config.Leader = profiles.Ini().ReadBool(machine, "Leader", LoadSettingsDefaults.Leader);
        configs.push_back(std::move(config));
    }
    return configs;
}

} // namespace feedrail
