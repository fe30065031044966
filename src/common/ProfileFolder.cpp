#include "common/ProfileFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
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

// The example programs, never the profiles, into the user's own folder, and
// the copied profiles pointed at it. A program the user has is kept.
void CopyExamplePrograms(const std::string& examples, const std::string& config,
                         const std::string& programs) {
    std::error_code error;
    fs::create_directories(programs, error);
    for (fs::directory_iterator it(examples, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        const bool profile = std::find(std::begin(ExampleProfiles), std::end(ExampleProfiles),
                                       name) != std::end(ExampleProfiles);
        std::error_code copyError;
        if (!profile && it->is_regular_file(copyError)) {
            fs::copy_file(it->path(), programs + name, copyError);
        }
    }
    const std::string profiles = config + std::string(ExampleProfiles[0]);
    std::ifstream in(profiles, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    for (std::size_t at = text.find(examples); at != std::string::npos;
         at = text.find(examples, at + programs.size())) {
        text.replace(at, examples.size(), programs);
    }
    std::ofstream(profiles, std::ios::binary | std::ios::trunc) << text;
}

} // namespace

std::string ChooseProfileFolder(std::string_view programDir, std::string_view configFolder,
                                std::string_view programsFolder) {
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
        const std::string examples = InstalledDataFolder(program) + "examples/";
        CopyExamples(examples, config);
        if (!programsFolder.empty()) {
            CopyExamplePrograms(examples, config, WithSlash(programsFolder));
        }
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
