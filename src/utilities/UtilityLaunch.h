#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace feedrail {

// How the Utilities menu and the Setup Sheet button pick the program they
// start and the file they hand it.

// The file a utility of `mode` is given: the loaded file, or for mode 2 the
// pane's selection when there is one. NeedFilename when mode 1 or 2 finds
// none; other modes start with an empty file.
struct UtilityTarget {
    bool NeedFilename = false;
    std::string File;
};
UtilityTarget UtilityFileFor(std::int32_t mode, std::string_view currentFile,
                             std::string_view selectedPath);

// The setup sheet program in the program's folder: "plansheet", or
// "plansheet.exe" where only that is there (a folder copied from elsewhere).
std::string SetupSheetProgram(std::string_view programDir);

} // namespace feedrail
