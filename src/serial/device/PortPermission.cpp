#include "serial/device/PortPermission.h"

#include <array>
#include <cstdlib>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

std::string UserName() {
    std::array<char, 4096> buffer{};
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "$USER";
}

std::string GroupName(gid_t group) {
    std::array<char, 4096> buffer{};
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->gr_name;
    }
    return std::to_string(group);
}

} // namespace

std::string PortPermissionAdvice(const std::string& path) {
    struct stat info {};
    // A port that cannot even be looked at is most often a USB adapter's,
    // which Debian gives to "dialout".
    std::string group = "dialout";
    if (::stat(path.c_str(), &info) == 0) {
        if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
            return "You may not open " + path +
                   ": only its owner may use it. Ask the administrator for access to it.";
        }
        group = GroupName(info.st_gid);
    }
    return "You may not open " + path + ": it belongs to the group \"" + group +
           "\", and Feedrail runs without that group.\n\nAdd your user to the group:\n    sudo "
           "usermod -aG " +
           group + " " + UserName() +
           "\nthen log out and log in again; the group counts from the next login.";
}

} // namespace feedrail
