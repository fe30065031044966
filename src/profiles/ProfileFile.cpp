#include "profiles/ProfileFile.h"

#include "profiles/GetField.h"

#include <algorithm>
#include <utility>

namespace feedrail {
namespace {

bool IsDirsSection(std::string_view name) {
    return std::ranges::equal(name, ProfileFile::DirsSection, [](char a, char b) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
        return lower(a) == lower(b);
    });
}

std::string UpperCase(std::string text) {
    std::ranges::transform(text, text.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

} // namespace

ProfileFile::ProfileFile(std::string path) : ini_(std::move(path)) {}

std::vector<std::string> ProfileFile::MachineNames() const {
    std::vector<std::string> names = ini_.ReadSections();
    const auto dirs = std::ranges::find_if(names, IsDirsSection);
    if (dirs != names.end()) {
        names.erase(dirs);
    }
    return names;
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
    // Port, data bits and stop bits are held in one byte, as the port wants them.
    settings.CommPort =
        static_cast<std::uint8_t>(ini_.ReadInteger(machine, "CommPort", defaults.CommPort));
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
