#pragma once

#include <cstdint>
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
    // A program received under a name that is taken takes that name; the
    // earlier file moves to versions/ beside it. Off: it is named "-2", ….
    bool KeepVersions = false;
    // A program longer than this is ended and kept as incomplete: a line
    // that never stops cannot fill the disk.
    std::uint64_t MaxProgramBytes = std::uint64_t{256} << 20;

    // Auto receive or remote request needs the line listened to when idle.
    bool Listens() const { return AutoReceive || RemoteRequest; }

    bool operator==(const AutomationSettings&) const = default;
};

// Where programs are received: `receiveDir` as it is when absolute, within
// the machine's `defaultDir` when relative (or empty), within `otherwise`
// when the machine has no folder either.
std::string ReceiveFolderOf(const std::string& receiveDir, const std::string& defaultDir,
                            const std::string& otherwise);

AutomationSettings ReadAutomationSettings(const IniFile& profiles, std::string_view machine);
// Writes the five keys of the Automation dialog (MaxProgramBytes is set by
// hand); raises IniWriteError, as every profile write does.
void WriteAutomationSettings(const IniFile& profiles, std::string_view machine,
                             const AutomationSettings& settings);

} // namespace feedrail
