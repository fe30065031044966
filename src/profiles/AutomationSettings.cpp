#include "profiles/AutomationSettings.h"

#include "profiles/IniFile.h"
#include "profiles/ProfileFile.h"

namespace feedrail {

AutomationSettings ReadAutomationSettings(const IniFile& profiles, std::string_view machine) {
    AutomationSettings settings;
    settings.AutoReceive = profiles.ReadBool(machine, "AutoReceive", false);
    const std::string folder = profiles.ReadString(machine, "ReceiveDir", "");
    settings.ReceiveDir = WithTrailingSeparator(folder);
    settings.RemoteRequest = profiles.ReadBool(machine, "RemoteRequest", false);
    settings.TransferLog = profiles.ReadBool(machine, "TransferLog", false);
    return settings;
}

void WriteAutomationSettings(const IniFile& profiles, std::string_view machine,
                             const AutomationSettings& settings) {
    profiles.WriteBool(machine, "AutoReceive", settings.AutoReceive);
    profiles.WriteString(machine, "ReceiveDir", settings.ReceiveDir);
    profiles.WriteBool(machine, "RemoteRequest", settings.RemoteRequest);
    profiles.WriteBool(machine, "TransferLog", settings.TransferLog);
}

} // namespace feedrail
