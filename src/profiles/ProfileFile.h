#pragma once

#include "profiles/ActiveSettings.h"
#include "profiles/DirShortcut.h"
#include "profiles/IniFile.h"
#include "profiles/ProfileDefaults.h"

#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

// DNC.ini: one section per machine profile and the "Dirs" section of
// directory shortcuts. Every call reads the file as it is now.
class ProfileFile {
public:
    static constexpr std::string_view FileName = "DNC.ini";
    static constexpr std::string_view DirsSection = "Dirs";
    static constexpr int DirSlots = 10;

    explicit ProfileFile(std::string path);
    explicit ProfileFile(IniFile ini);

    const IniFile& Ini() const noexcept { return ini_; }

    // Section names in file order, each once, without "Dirs"; names match
    // as the file's reader matches them, without regard to letter case.
    std::vector<std::string> MachineNames() const;
    // The names of sections the file holds more than once, each once.
    std::vector<std::string> RepeatedSections() const;
    // The defined Dir1..Dir10 entries in key order; empty and missing keys
    // leave no gap.
    std::vector<DirShortcut> DirShortcuts() const;

    // Start-up: every key of the machine, with the start-up defaults.
    ActiveSettings ReadStartupProfile(std::string_view machine) const;
    // Machine selection: the machine's keys with the selection defaults;
    // DefaultFileFilter and DefaultExt stay as start-up left them.
    void ReadSelectedProfile(std::string_view machine, ActiveSettings& settings) const;

private:
    void ReadMachineKeys(std::string_view machine, const ProfileDefaults& defaults,
                         ActiveSettings& settings) const;

    IniFile ini_;
};

// The parity letter of a CommParity value: its first character, or "N" when
// the value is empty.
char ParityLetter(std::string_view value);

// A folder with its separator at the end; an empty text stays empty.
std::string WithTrailingSeparator(std::string folder);

} // namespace feedrail
