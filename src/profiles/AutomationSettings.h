#pragma once

#include <string>
#include <string_view>

namespace feedrail {

class IniFile;

// A machine's unattended-DNC options, keys of its section in DNC.ini. All are
// off when missing, so a profile without them works as before.
struct AutomationSettings {
    // Programs the machine punches while the window is idle are saved by
    // themselves.
    bool AutoReceive = false;
    // Where they are saved; empty means the machine's DefaultDir.
    std::string ReceiveDir;
    // A received program holding only a program number asks for that program.
    bool RemoteRequest = false;
    // Every transfer adds a line to feedrail-transfers.log.
    bool TransferLog = false;

    // Auto receive or remote request needs the line listened to when idle.
    bool Listens() const { return AutoReceive || RemoteRequest; }

    bool operator==(const AutomationSettings&) const = default;
};

AutomationSettings ReadAutomationSettings(const IniFile& profiles, std::string_view machine);
// Writes the four keys; raises IniWriteError, as every profile write does.
void WriteAutomationSettings(const IniFile& profiles, std::string_view machine,
                             const AutomationSettings& settings);

} // namespace feedrail
