#include "serial/device/DevicePath.h"

#include <algorithm>
#include <cctype>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

// N of a name "com<N>", or 0 for any other name.
int ComNumber(std::string_view name) {
    if (name.size() < 4 || name.size() > 8) {
        return 0;
    }
    const auto lower = [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    };
    if (lower(name[0]) != 'c' || lower(name[1]) != 'o' || lower(name[2]) != 'm') {
        return 0;
    }
    const std::string_view digits = name.substr(3);
    if (!std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    return std::stoi(std::string(digits));
}

} // namespace

std::string ComLinkPath(std::string_view name, std::string_view programDir) {
    const int number = ComNumber(name);
    return number < 1 ? std::string() : std::string(programDir) + "com" + std::to_string(number);
}

std::string ResolveDevicePath(std::string_view name, std::string_view programDir) {
    const std::string link = ComLinkPath(name, programDir);
    if (link.empty()) {
        return std::string(name);
    }
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0) {
        return link;
    }
    return "/dev/ttyS" + std::to_string(ComNumber(name) - 1);
}

std::string PortTitle(std::string_view name) {
    const int number = ComNumber(name);
    return number < 1 ? std::string(name) : "COM" + std::to_string(number);
}

std::string LinkTarget(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length <= 0) {
        return path;
    }
    target.resize(static_cast<std::size_t>(length));
    return target;
}

bool DanglingLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
           ::stat(path.c_str(), &info) != 0;
}

} // namespace feedrail
