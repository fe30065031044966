#include "utilities/UtilityLaunch.h"

#include "profiles/UtilityCommand.h"

#include <sys/stat.h>

namespace feedrail {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

UtilityTarget UtilityFileFor(std::int32_t mode, std::string_view currentFile,
                             std::string_view selectedPath) {
    UtilityTarget target{false, std::string(currentFile)};
    if (mode == UtilityNeedsSelectedFile && !selectedPath.empty()) {
        target.File = selectedPath;
    }
    const bool needsFile = mode == UtilityNeedsLoadedFile || mode == UtilityNeedsSelectedFile;
    target.NeedFilename = needsFile && target.File.empty();
    return target;
}

std::string SetupSheetProgram(std::string_view programDir) {
    const std::string plain = std::string(programDir) + "plansheet";
    const std::string copied = plain + ".exe";
    return !Exists(plain) && Exists(copied) ? copied : plain;
}

} // namespace feedrail
