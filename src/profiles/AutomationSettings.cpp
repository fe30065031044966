#include "profiles/AutomationSettings.h"

#include "profiles/IniFile.h"
#include "profiles/ProfileFile.h"

#include <charconv>

namespace feedrail {

std::string ReceiveFolderOf(const std::string& receiveDir, const std::string& defaultDir,
                            const std::string& otherwise) {
    if (!receiveDir.empty() && receiveDir.front() == '/') {
        return receiveDir;
    }
    return (defaultDir.empty() ? otherwise : defaultDir) + receiveDir;
}

AutomationSettings ReadAutomationSettings(const IniFile& profiles, std::string_view machine) {
    AutomationSettings settings;
    settings.AutoReceive = profiles.ReadBool(machine, "AutoReceive", false);
    const std::string folder = profiles.ReadString(machine, "ReceiveDir", "");
    settings.ReceiveDir = WithTrailingSeparator(folder);
    settings.RemoteRequest = profiles.ReadBool(machine, "RemoteRequest", false);
    settings.TransferLog = profiles.ReadBool(machine, "TransferLog", false);
    settings.KeepVersions = profiles.ReadBool(machine, "KeepVersions", false);
    const std::string most = profiles.ReadString(machine, "MaxProgramBytes", "");
    std::uint64_t bytes = 0;
    const auto [end, error] = std::from_chars(most.data(), most.data() + most.size(), bytes);
    if (error == std::errc() && end == most.data() + most.size() && bytes > 0) {
        settings.MaxProgramBytes = bytes;
    }
    return settings;
}

void WriteAutomationSettings(const IniFile& profiles, std::string_view machine,
                             const AutomationSettings& settings) {
    profiles.WriteBool(machine, "AutoReceive", settings.AutoReceive);
    profiles.WriteString(machine, "ReceiveDir", settings.ReceiveDir);
    profiles.WriteBool(machine, "RemoteRequest", settings.RemoteRequest);
    profiles.WriteBool(machine, "TransferLog", settings.TransferLog);
    profiles.WriteBool(machine, "KeepVersions", settings.KeepVersions);
}

} // namespace feedrail
