#include "common/ProfileFolder.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <unistd.h>

namespace feedrail {
namespace {

namespace fs = std::filesystem;

std::string WithSlash(std::string_view folder) {
    std::string text(folder);
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// An example that cannot be copied leaves the defaults, as a missing file
// does; the operator still gets a working program.
void CopyExamples(const std::string& examples, const std::string& folder) {
    for (const std::string_view name : ExampleProfiles) {
        const std::string target = folder + std::string(name);
        std::error_code error;
        fs::copy_file(examples + std::string(name), target, error);
    }
}

// Installed programs live here; what the user sets is never written beside
// them, also when root (who may write anywhere) runs them.
bool SystemFolder(const std::string& folder) {
    return folder.starts_with("/usr/") || folder.starts_with("/opt/") || folder == "/bin/" ||
           folder == "/sbin/";
}

} // namespace

std::string ChooseProfileFolder(std::string_view programDir, std::string_view configFolder) {
    const std::string program = WithSlash(programDir);
    // Without a home there is no configuration folder to fall back on.
    const bool ownFolder =
        !SystemFolder(program) &&
        (Exists(program + std::string(ExampleProfiles[0])) || ::access(program.c_str(), W_OK) == 0);
    if (ownFolder || configFolder.empty()) {
        return program;
    }
    const std::string config = WithSlash(configFolder);
    std::error_code error;
    fs::create_directories(config, error);
    // A folder without any profile is a first start; a profile the operator
    // already has is never replaced.
    const bool firstStart =
        std::none_of(std::begin(ExampleProfiles), std::end(ExampleProfiles),
                     [&](std::string_view name) { return Exists(config + std::string(name)); });
    if (firstStart) {
        CopyExamples(InstalledDataFolder(program) + "examples/", config);
    }
    return config;
}

std::string InstalledDataFolder(std::string_view programDir) {
    return fs::path(WithSlash(programDir) + "../share/feedrail/").lexically_normal().string();
}

std::string HelpManualPath(std::string_view folder, std::string_view programDir) {
    const std::string own = WithSlash(folder) + std::string(HelpManualName);
    const std::string installed = InstalledDataFolder(programDir) + std::string(HelpManualName);
    return !Exists(own) && Exists(installed) ? installed : own;
}

} // namespace feedrail
