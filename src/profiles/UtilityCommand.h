#pragma once

#include <cstdint>
#include <string>

namespace feedrail {

// What a utility is given when it starts.
enum UtilityMode : std::int32_t {
    UtilityNeedsNoFile = 0,
    UtilityNeedsLoadedFile = 1,
    UtilityNeedsSelectedFile = 2,
};

// One external program of the Utilities menu. Number counts the entries
// found, from 1, and ties a menu item to its program.
struct UtilityCommand {
    int Number = 0;
    std::string Caption;
    std::string Program;
    std::int32_t Mode = UtilityNeedsNoFile;
};

} // namespace feedrail
