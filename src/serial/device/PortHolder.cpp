#include "serial/device/PortHolder.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace feedrail {
namespace {

// A line of /proc/locks reads "1: FLOCK  ADVISORY  WRITE 4711 00:05:87 0 EOF";
// the device is the file system's, in hexadecimal major:minor.
std::optional<pid_t> LockOwner(const std::string& line, dev_t device, ino_t inode) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, file;
    long process = 0;
    if (!(fields >> number >> kind)) {
        return std::nullopt;
    }
    // A lock blocked behind another one is listed as "1: -> FLOCK ...".
    if (kind == "->") {
        return std::nullopt;
    }
    if (!(fields >> mode >> access >> process >> file)) {
        return std::nullopt;
    }
    unsigned major = 0, minor = 0;
    unsigned long long node = 0;
    if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &node) != 3) {
        return std::nullopt;
    }
    if (makedev(major, minor) != device || node != inode || process <= 0) {
        return std::nullopt;
    }
    return static_cast<pid_t>(process);
}

std::string ProgramName(pid_t process) {
    std::ifstream comm("/proc/" + std::to_string(process) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

std::optional<PortHolder> FindPortHolder(const std::string& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) {
        return std::nullopt;
    }
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        const auto owner = LockOwner(line, file.st_dev, file.st_ino);
        if (owner && *owner != ::getpid()) {
            return PortHolder{*owner, ProgramName(*owner)};
        }
    }
    return std::nullopt;
}

} // namespace feedrail
