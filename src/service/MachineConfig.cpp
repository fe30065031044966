#include "service/MachineConfig.h"

#include "common/RegularFile.h"
#include "profiles/ProfileDefaults.h"
#include "profiles/ProfileFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace feedrail {

bool ServedAlike(const MachineConfig& a, const MachineConfig& b) {
    MachineConfig filterless = b;
    filterless.Settings.DefaultFileFilter = a.Settings.DefaultFileFilter;
    return a == filterless;
}

// The window reads the first machine at start-up and each machine over it
// when it is selected; the same reads give the same ports, codes and file
// names here.
std::vector<MachineConfig> ReadMachineConfigs(const std::string& profileFolder) {
    const std::string path = profileFolder + std::string(ProfileFile::FileName);
    // Read once and parsed once: the window may save the file between two
    // reads, and a file of hundreds of machines parsed at every key took
    // minutes.
    const RegularFileRead file = ReadRegularFile(path);
    if (file.outcome != RegularFileRead::Read) {
        throw std::runtime_error("Cannot read " + path + ": " +
                                 std::strerror(file.error != 0 ? file.error : ENOENT));
    }
    const ProfileFile profiles(IniFile(path, file.content));
    const std::vector<std::string> machines = profiles.MachineNames();
    std::vector<MachineConfig> configs;
    // An empty or garbled file is no order to stop every machine.
    if (machines.empty()) {
        throw std::runtime_error(path + " names no machine: it holds no machine's section");
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
