#pragma once

#include "profiles/IniFile.h"
#include "profiles/UtilityCommand.h"

#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

// The entries read from DNCUtilities.ini, and a message for each entry that
// was left out because its mode field is not a whole number.
struct UtilityList {
    std::vector<UtilityCommand> Commands;
    std::vector<std::string> Errors;
};

// DNCUtilities.ini: up to ten external programs, keys Utility1..Utility10 of
// section "Utilities", each "caption,program,mode".
class UtilityFile {
public:
    static constexpr std::string_view FileName = "DNCUtilities.ini";
    static constexpr std::string_view Section = "Utilities";
    static constexpr int Slots = 10;

    explicit UtilityFile(std::string path);

    UtilityList ReadUtilities() const;

private:
    IniFile ini_;
};

// The program to start for a utility: a name with a folder part is used as it
// stands, a bare name (or none) is taken from the program's own folder, which
// ends with its separator.
std::string UtilityProgramPath(std::string_view program, std::string_view programDir);

} // namespace feedrail
