#include "profiles/ProfileFile.h"

#include "profiles/GetField.h"
#include "profiles/IniDocument.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace feedrail {
namespace {

bool Listed(const std::vector<std::string>& names, std::string_view name) {
    return std::ranges::any_of(
        names, [name](const std::string& listed) { return SameIniName(listed, name); });
}

std::string UpperCase(std::string text) {
    std::ranges::transform(text, text.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

} // namespace

ProfileFile::ProfileFile(std::string path) : ini_(std::move(path)) {}

ProfileFile::ProfileFile(IniFile ini) : ini_(std::move(ini)) {}

// A section named again is never read: the file's first one of the name is.
std::vector<std::string> ProfileFile::MachineNames() const {
    std::vector<std::string> names;
    for (std::string& name : ini_.ReadSections()) {
        if (!SameIniName(name, DirsSection) && !Listed(names, name)) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::vector<std::string> ProfileFile::RepeatedSections() const {
    std::vector<std::string> seen;
    std::vector<std::string> repeated;
    for (std::string& name : ini_.ReadSections()) {
        if (!Listed(seen, name)) {
            seen.push_back(std::move(name));
        } else if (!Listed(repeated, name)) {
            repeated.push_back(std::move(name));
        }
    }
    return repeated;
}

std::vector<DirShortcut> ProfileFile::DirShortcuts() const {
    std::vector<DirShortcut> shortcuts;
    for (int n = 1; n <= DirSlots; ++n) {
        const std::string value = ini_.ReadString(DirsSection, "Dir" + std::to_string(n), "");
        if (!value.empty()) {
            shortcuts.push_back({UpperCase(GetField(value, 1)), GetField(value, 2)});
        }
    }
    return shortcuts;
}

ActiveSettings ProfileFile::ReadStartupProfile(std::string_view machine) const {
    ActiveSettings settings;
    ReadMachineKeys(machine, StartupDefaults, settings);
    settings.DefaultFileFilter =
        ini_.ReadString(machine, "DefaultFileFilter", StartupDefaults.DefaultFileFilter);
    settings.DefaultExt = ini_.ReadString(machine, "DefaultExt", StartupDefaults.DefaultExt);
    return settings;
}

void ProfileFile::ReadSelectedProfile(std::string_view machine, ActiveSettings& settings) const {
    ReadMachineKeys(machine, SelectionDefaults, settings);
}

void ProfileFile::ReadMachineKeys(std::string_view machine, const ProfileDefaults& defaults,
                                  ActiveSettings& settings) const {
    settings.PunchType = ini_.ReadInteger(machine, "PunchType", defaults.PunchType);
    settings.CommHandshake = ini_.ReadInteger(machine, "CommHandshake", defaults.CommHandshake);
    settings.PunchWait = ini_.ReadInteger(machine, "PunchWait", defaults.PunchWait);
    // Port, data bits and stop bits are held in one byte, as the port wants
    // them. A port number outside it would wrap into another port (-5 into
    // COM251): the default stands instead, and DNC Settings names the value.
    const std::int32_t port = ini_.ReadInteger(machine, "CommPort", defaults.CommPort);
    settings.CommPort = static_cast<std::uint8_t>(
        port >= 1 && port <= std::numeric_limits<std::uint8_t>::max() ? port : defaults.CommPort);
    settings.CommDevice = ini_.ReadString(machine, "CommDevice", "");
    settings.CommBaudRate = ini_.ReadInteger(machine, "CommBaudRate", defaults.CommBaudRate);
    settings.CommParity = ParityLetter(ini_.ReadString(machine, "CommParity", defaults.CommParity));
    settings.CommDataBits =
        static_cast<std::uint8_t>(ini_.ReadInteger(machine, "CommDataBits", defaults.CommDataBits));
    settings.CommStopBits =
        static_cast<std::uint8_t>(ini_.ReadInteger(machine, "CommStopBits", defaults.CommStopBits));
    settings.EOB = ini_.ReadInteger(machine, "EOB", defaults.EOB);
    settings.DefaultDir =
        WithTrailingSeparator(ini_.ReadString(machine, "DefaultDir", defaults.DefaultDir));
}

char ParityLetter(std::string_view value) {
    return value.empty() ? 'N' : value.front();
}

std::string WithTrailingSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

} // namespace feedrail
