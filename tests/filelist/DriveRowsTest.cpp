#include "filelist/DriveRows.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;

// A sysfs tree in a temporary folder: disks on a USB bus, on SATA, and a
// card reader the kernel calls removable, each with a partition.
class FakeSys {
public:
    FakeSys() {
        AddDisk("devices/pci0000:00/0000:00:14.0/usb2/2-1/host6/target6:0:0/block/sdb", "0");
        AddDisk("devices/pci0000:00/ata1/host0/target0:0:0/block/sda", "0");
        AddDisk("devices/platform/sdcard/block/sdc", "1");
    }

    std::string Root() const { return folder_.Path(); }

private:
    void AddDisk(const std::string& folder, const char* removable) {
        const std::filesystem::path disk = std::filesystem::path(folder_.Path()) / folder;
        const std::string name = disk.filename().string();
        std::filesystem::create_directories(disk / (name + "1"));
        WriteFile((disk / "removable").string(), std::string(removable) + "\n");
        std::filesystem::create_directories(folder_.File("class/block"));
        for (const std::string& node : {name, name + "1"}) {
            const std::filesystem::path target = node == name ? disk : disk / node;
            std::filesystem::create_directory_symlink(target, folder_.File("class/block/" + node));
        }
    }

    TempFolder folder_;
};

DriveVolume Volume(const std::string& mountPoint, const char* fileSystem, const char* device = "") {
    DriveVolume volume;
    volume.MountPoint = mountPoint;
    volume.FileSystem = fileSystem;
    volume.Device = device;
    return volume;
}

TEST(FileListDriveRowsTest, DriveTypesComeFromTheFileSystemAndTheDevice) {
    const FakeSys sys;
    const struct {
        const char* fileSystem;
        const char* device;
        const char* type;
    } cases[] = {
        {"ext4", "/dev/sda1", "Fixed Disk"},
        {"vfat", "/dev/sdb1", "Removable Disk"},
        {"exfat", "/dev/sdb", "Removable Disk"},
        {"vfat", "/dev/sdc1", "Removable Disk"},
        {"iso9660", "/dev/sr0", "CD-ROM Disk"},
        {"udf", "/dev/sdb1", "CD-ROM Disk"},
        {"nfs", "server:/nc", "Network Disk"},
        {"nfs4", "server:/nc", "Network Disk"},
        {"cifs", "//server/nc", "Network Disk"},
        {"smb3", "//server/nc", "Network Disk"},
        {"tmpfs", "tmpfs", "RAM Disk"},
        {"ramfs", "ramfs", "RAM Disk"},
        {"ext4", "/dev/mapper/root", "Fixed Disk"},
        {"btrfs", "", "Fixed Disk"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DriveTypeText(Volume("/mnt", c.fileSystem, c.device), sys.Root()), c.type)
            << c.fileSystem << " on " << c.device;
    }
}

TEST(FileListDriveRowsTest, SizesAreWholeThousandsOfKilobytesWithSeparators) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 Mb"},
        {511, "0 Mb"},
        {1024 * 999, "0 Mb"},
        {1024 * 1000, "1 Mb"},
        {1024ull * 999'999, "999 Mb"},
        {1024ull * 500'107'862, "500,107 Mb"},
        {1ull << 40, "1,073,741 Mb"},
        {1024ull * 1'000'000'000'000, "1,000,000,000 Mb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MegabyteText(c.bytes), c.text) << c.bytes;
    }
}

TEST(FileListDriveRowsTest, OnlyFoldersAPersonBrowsesAreDrives) {
    TempFolder folder;
    WriteFile(folder.File("hosts"), "127.0.0.1 localhost\n");
    const std::string mount = folder.Path();
    const struct {
        std::string mountPoint;
        const char* fileSystem;
        bool browsable;
    } cases[] = {
        {"/", "ext4", true},
        {"/", "overlay", true},
        {mount, "ext4", true},
        {mount, "tmpfs", true},
        {mount, "vfat", true},
        {mount, "overlay", false},
        {mount, "proc", false},
        {mount, "sysfs", false},
        {mount, "cgroup2", false},
        {mount, "devpts", false},
        {mount, "squashfs", false},
        {"/proc", "proc", false},
        {"/sys/fs/cgroup", "tmpfs", false},
        {"/dev/shm", "tmpfs", false},
        {"/run/lock", "tmpfs", false},
        {folder.File("hosts"), "ext4", false},
        {folder.File("gone"), "ext4", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsBrowsableVolume(Volume(c.mountPoint, c.fileSystem)), c.browsable)
            << c.mountPoint << " " << c.fileSystem;
    }
}

TEST(FileListDriveRowsTest, ARowShowsMountPointLabelTypeAndSizes) {
    const FakeSys sys;
    DriveVolume fixed = Volume("/", "ext4", "/dev/sda1");
    fixed.TotalBytes = 1024ull * 250'000'000;
    fixed.FreeBytes = 1024ull * 12'345'678;
    DriveVolume stick = Volume("/media/op/NC_STICK", "vfat", "/dev/sdb1");
    stick.Label = "NC_STICK";
    stick.TotalBytes = 1024ull * 8'000'000;
    stick.FreeBytes = 1024ull * 4'000'000;
    const struct {
        DriveVolume volume;
        std::vector<std::string> texts;
    } cases[] = {
        {fixed, {" (/)  ", "Fixed Disk", "250,000 Mb", "12,345 Mb", "", "/", "drv"}},
        {stick,
         {" (/media/op/NC_STICK)  NC_STICK", "Removable Disk", "8,000 Mb", "4,000 Mb", "",
          "/media/op/NC_STICK/", "drv"}},
    };
    for (const auto& c : cases) {
        const FileRow row = DriveRow(c.volume, sys.Root());
        EXPECT_EQ(row.Kind, RowKind::Drive);
        std::vector<std::string> texts = {row.Caption};
        for (int n = 1; n <= 6; ++n) {
            texts.push_back(SubValue(row, n, dfMDY));
        }
        EXPECT_EQ(texts, c.texts);
    }
}

} // namespace
} // namespace feedrail
