#include "filelist/DriveRows.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string_view>

namespace feedrail {
namespace {

constexpr std::string_view PseudoFileSystems[] = {
    "autofs",  "binfmt_misc", "bpf",        "cgroup",    "cgroup2",         "configfs",
    "debugfs", "devpts",      "devtmpfs",   "efivarfs",  "fuse.gvfsd-fuse", "fuse.portal",
    "fusectl", "hugetlbfs",   "mqueue",     "nsfs",      "overlay",         "proc",
    "pstore",  "rpc_pipefs",  "securityfs", "selinuxfs", "squashfs",        "sysfs",
    "tracefs", "nfsd"};

constexpr std::string_view SystemFolders[] = {"/proc", "/sys", "/dev", "/run"};

bool IsUnder(std::string_view path, std::string_view folder) {
    return path == folder || (path.starts_with(folder) && path[folder.size()] == '/');
}

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> values) {
    return std::ranges::find(values, value) != values.end();
}

bool IsPseudo(const DriveVolume& volume) {
    // A container's root is an overlay, and a real place to browse.
    if (volume.FileSystem == "overlay" && volume.MountPoint == "/") {
        return false;
    }
    return std::ranges::find(PseudoFileSystems, volume.FileSystem) != std::end(PseudoFileSystems);
}

bool IsSystemMount(const std::string& mountPoint) {
    if (IsUnder(mountPoint, "/run/media")) {
        return false;
    }
    return std::ranges::any_of(
        SystemFolders, [&](std::string_view folder) { return IsUnder(mountPoint, folder); });
}

std::string FirstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The device's folder in sysfs, resolved: a partition's parent is its disk,
// and the path passes the buses the disk hangs on.
bool IsRemovableDevice(const std::string& device, const std::string& sysRoot) {
    std::error_code error;
    std::filesystem::path node = std::filesystem::canonical(device, error);
    if (error) {
        node = device;
    }
    const std::filesystem::path link =
        std::filesystem::path(sysRoot) / "class" / "block" / node.filename();
    const std::filesystem::path sysPath = std::filesystem::canonical(link, error);
    if (error || node.filename().empty()) {
        return false;
    }
    if (sysPath.string().find("/usb") != std::string::npos) {
        return true;
    }
    for (const auto& folder : {sysPath, sysPath.parent_path()}) {
        if (std::filesystem::exists(folder / "removable", error)) {
            return FirstLine(folder / "removable") == "1";
        }
    }
    return false;
}

std::string WithThousands(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    }
    return digits;
}

} // namespace

bool IsBrowsableVolume(const DriveVolume& volume) {
    std::error_code error;
    return !IsPseudo(volume) && !IsSystemMount(volume.MountPoint) &&
           std::filesystem::is_directory(volume.MountPoint, error);
}

std::string DriveTypeText(const DriveVolume& volume, const std::string& sysRoot) {
    const std::string& type = volume.FileSystem;
    if (IsOneOf(type, {"iso9660", "udf"})) {
        return "CD-ROM Disk";
    }
    if (IsOneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs"})) {
        return "Network Disk";
    }
    if (IsOneOf(type, {"tmpfs", "ramfs"})) {
        return "RAM Disk";
    }
    if (volume.Device.starts_with("/dev/") && IsRemovableDevice(volume.Device, sysRoot)) {
        return "Removable Disk";
    }
    return "Fixed Disk";
}

std::string MegabyteText(std::uint64_t bytes) {
    // Rounded to kilobytes first, then whole thousands of them.
    const std::uint64_t kilobytes = (bytes + 512) / 1024;
    return WithThousands(kilobytes / 1000) + " Mb";
}

FileRow DriveRow(const DriveVolume& volume, const std::string& sysRoot) {
    FileRow row;
    row.Kind = RowKind::Drive;
    row.Caption = " (" + volume.MountPoint + ")  " + volume.Label;
    row.Path = volume.MountPoint.ends_with('/') ? volume.MountPoint : volume.MountPoint + "/";
    row.TypeName = DriveTypeText(volume, sysRoot);
    // A listed volume is mounted, so even a removable disk answers at once.
    row.Size = volume.TotalBytes;
    row.Free = volume.FreeBytes;
    return row;
}

} // namespace feedrail
