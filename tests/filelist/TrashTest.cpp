#include "filelist/Trash.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// Two names that read alike on screen ("D?se.nc"): each goes to the trash by
// its own bytes, with an info file that says where it came from.
TEST(TrashTest, ItemsGoByTheirOwnBytesWithTheirInfo) {
    TempFolder folder;
    const std::string latin1 = folder.File("D\xfcse.nc");
    const std::string replaced = folder.File("D\xef\xbf\xbdse.nc");
    WriteFile(latin1, "latin-1\n");
    WriteFile(replaced, "utf-8\n");
    const std::string trash = folder.File("home/.local/share/Trash");
    EXPECT_EQ(MoveToTrash(latin1, trash, {}), "");
    EXPECT_FALSE(std::filesystem::exists(latin1));
    EXPECT_EQ(ReadFile(replaced), "utf-8\n") << "the other file was trashed";
    EXPECT_EQ(ReadFile(trash + "/files/D\xfcse.nc"), "latin-1\n");
    const std::string info = ReadFile(trash + "/info/D\xfcse.nc.trashinfo");
    EXPECT_NE(info.find("Path=" + folder.Path() + "/D%FCse.nc\n"), std::string::npos) << info;

    // The same name again, and a link to nothing, which is the item itself.
    WriteFile(latin1, "again\n");
    EXPECT_EQ(MoveToTrash(latin1, trash, {}), "");
    EXPECT_EQ(ReadFile(trash + "/files/D\xfcse.nc.2"), "again\n");
    std::filesystem::create_symlink(folder.File("gone.nc"), folder.File("link.nc"));
    EXPECT_EQ(MoveToTrash(folder.File("link.nc"), trash, {}), "");
    EXPECT_TRUE(std::filesystem::is_symlink(trash + "/files/link.nc"));
    EXPECT_NE(MoveToTrash(folder.File("none.nc"), trash, {}), "");
}

} // namespace
} // namespace feedrail
