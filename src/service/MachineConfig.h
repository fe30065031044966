#pragma once

#include "profiles/ActiveSettings.h"
#include "profiles/AutomationSettings.h"

#include <string>
#include <vector>

namespace feedrail {

// One machine of DNC.ini as the service serves it: the settings the window
// would have with the machine selected, its unattended-DNC options and its
// leader switch.
struct MachineConfig {
    std::string Machine;
    ActiveSettings Settings;
    AutomationSettings Automation;
    bool Leader = false;

    bool operator==(const MachineConfig&) const = default;
};

// Every machine of the DNC.ini in `profileFolder` (with its trailing "/"),
// in file order; an error reading the file raises it.
std::vector<MachineConfig> ReadMachineConfigs(const std::string& profileFolder);

} // namespace feedrail
