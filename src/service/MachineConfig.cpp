#include "service/MachineConfig.h"

#include "common/RegularFile.h"
#include "profiles/ProfileDefaults.h"
#include "profiles/ProfileFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace feedrail {
namespace {

// A private copy of DNC.ini for one reading: the profile reads open the file
// at every key, and the window may save it between two of them.
class ProfileSnapshot {
public:
    explicit ProfileSnapshot(const std::string& path) {
        const RegularFileRead file = ReadRegularFile(path);
        if (file.outcome != RegularFileRead::Read) {
            throw std::runtime_error("Cannot read " + path + ": " +
                                     std::strerror(file.error != 0 ? file.error : ENOENT));
        }
        path_ = (std::filesystem::temp_directory_path() / "feedrail-dnc-profiles-XXXXXX").string();
        const int fd = ::mkstemp(path_.data());
        const bool written = fd >= 0 && ::write(fd, file.content.data(), file.content.size()) ==
                                            static_cast<ssize_t>(file.content.size());
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!written) {
            ::unlink(path_.c_str());
            throw std::runtime_error("Cannot copy " + path +
                                     " to read it: " + std::strerror(error));
        }
    }
    ~ProfileSnapshot() { ::unlink(path_.c_str()); }
    ProfileSnapshot(const ProfileSnapshot&) = delete;
    ProfileSnapshot& operator=(const ProfileSnapshot&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace

bool ServedAlike(const MachineConfig& a, const MachineConfig& b) {
    MachineConfig filterless = b;
    filterless.Settings.DefaultFileFilter = a.Settings.DefaultFileFilter;
    return a == filterless;
}

// The window reads the first machine at start-up and each machine over it
// when it is selected; the same reads give the same ports, codes and file
// names here.
std::vector<MachineConfig> ReadMachineConfigs(const std::string& profileFolder) {
    const std::string path = profileFolder + std::string(ProfileFile::FileName);
    const ProfileSnapshot snapshot(path);
    const ProfileFile profiles(snapshot.Path());
    const std::vector<std::string> machines = profiles.MachineNames();
    std::vector<MachineConfig> configs;
    // An empty or garbled file is no order to stop every machine.
    if (machines.empty()) {
        throw std::runtime_error(path + " names no machine: it holds no machine's section");
    }
    const ActiveSettings startup = profiles.ReadStartupProfile(machines.front());
    for (const std::string& machine : machines) {
        MachineConfig config{machine, startup, {}, false};
        profiles.ReadSelectedProfile(machine, config.Settings);
        config.Automation = ReadAutomationSettings(profiles.Ini(), machine);
        config.Leader = profiles.Ini().ReadBool(machine, "Leader", LoadSettingsDefaults.Leader);
        configs.push_back(std::move(config));
    }
    return configs;
}

} // namespace feedrail
