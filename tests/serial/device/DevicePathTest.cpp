#include "serial/device/DevicePath.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(DevicePathTest, ComNamesPreferALinkInTheProgramFolder) {
    test::TempFolder folder;
    const std::string programDir = folder.Path() + "/";
    std::filesystem::create_symlink("/dev/ttyUSB0", folder.File("com2"));
    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"com2", programDir + "com2"},
        {"COM2", programDir + "com2"},
        {"com1", "/dev/ttyS0"},
        {"com4", "/dev/ttyS3"},
        {"com12", "/dev/ttyS11"},
        {"com0", "com0"},
        {"com", "com"},
        {"com2x", "com2x"},
        {"COM%d", "COM%d"},
        {"/dev/ttyUSB1", "/dev/ttyUSB1"},
        {"/dev/pts/7", "/dev/pts/7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveDevicePath(c.name, programDir), c.path) << c.name;
    }
}

} // namespace
} // namespace feedrail
