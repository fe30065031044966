#pragma once

#include "filelist/FileRow.h"

#include <cstdint>
#include <string>

namespace feedrail {

// A mounted file system as the platform reports it.
struct DriveVolume {
    std::string MountPoint;
    std::string Label;
    std::string FileSystem;
    std::string Device;
    std::uint64_t TotalBytes = 0;
    std::uint64_t FreeBytes = 0;
};

// Whether a person would browse the volume: not a pseudo file system (proc,
// sysfs, cgroup, devpts, a container's overlay layers, ...), not mounted
// under /proc, /sys, /dev or /run (removable media under /run/media are
// browsed), and mounted on a folder, not on a single file.
bool IsBrowsableVolume(const DriveVolume& volume);

// "Removable Disk", "Network Disk", "CD-ROM Disk", "RAM Disk" or
// "Fixed Disk", by the file system and the device. A device is removable when
// the kernel says so or sits on a USB bus, as `sysRoot` (normally /sys)
// shows.
std::string DriveTypeText(const DriveVolume& volume, const std::string& sysRoot);

// Bytes as whole thousands of kilobytes with thousands separators:
// "500,107 Mb"; "0 Mb" below that.
std::string MegabyteText(std::uint64_t bytes);

// The row of a volume: caption " (" + mount point + ")  " + label, its drive
// type and sizes.
FileRow DriveRow(const DriveVolume& volume, const std::string& sysRoot);

} // namespace feedrail
