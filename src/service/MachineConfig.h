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

// Whether a machine served with `a` is served the same with `b`: the file
// pane's filter, which the window alone uses, does not count.
bool ServedAlike(const MachineConfig& a, const MachineConfig& b);

// Every machine of the DNC.ini in `profileFolder` (with its trailing "/"),
// in file order, all read from one copy of the file, so that a change saved
// meanwhile is seen whole or not at all. A file that cannot be read raises
// std::runtime_error naming it and the reason.
std::vector<MachineConfig> ReadMachineConfigs(const std::string& profileFolder);

} // namespace feedrail
