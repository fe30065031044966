#include "filelist/FolderPath.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(FileListFolderPathTest, OneLevelUpGoesToTheParentThenSlashThenTheDrives) {
    const struct {
        const char* from;
        const char* to;
    } cases[] = {
        {"/home/op/nc/mill/", "/home/op/nc/"},
        {"/home/op/nc/", "/home/op/"},
        {"/home/", "/"},
        {"/", "Drives"},
        {"Drives", "Drives"},
        {"DRIVES", "Drives"},
        {"/media/usb/", "/media/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LevelUp(c.from), c.to) << c.from;
    }
}

TEST(FileListFolderPathTest, DrivesInAnyCaseIsTheDrivesView) {
    EXPECT_TRUE(IsDrivesView("Drives"));
    EXPECT_TRUE(IsDrivesView("dRIVES"));
    EXPECT_FALSE(IsDrivesView("/Drives/"));
    EXPECT_FALSE(IsDrivesView("Drive"));
    EXPECT_FALSE(IsDrivesView(""));
}

} // namespace
} // namespace feedrail
