#include "filelist/ItemNames.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

TEST(FileListItemNamesTest, RenameRefusesAnExistingNameAndKeepsBothFiles) {
    TempFolder folder;
    WriteFile(folder.File("O1000.nc"), "one");
    WriteFile(folder.File("O2000.nc"), "two");
    std::filesystem::create_directory(folder.File("sub"));
    const std::string prefix = "Cannot rename " + folder.File("O1000.nc") + " to ";
    const struct {
        const char* name;
        std::string error;
    } cases[] = {
        {"O2000.nc", prefix + "O2000.nc: File exists"},
        {"sub", prefix + "sub: File exists"},
        {"a/b", prefix + "a/b: Invalid argument"},
        {"..", prefix + "..: Invalid argument"},
        {"O1000.nc", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RenameItem(folder.File("O1000.nc"), c.name), c.error) << c.name;
        EXPECT_EQ(ReadFile(folder.File("O1000.nc")), "one");
        EXPECT_EQ(ReadFile(folder.File("O2000.nc")), "two");
    }

    EXPECT_EQ(RenameItem(folder.File("O1000.nc"), "o1000.NC"), "");
    EXPECT_FALSE(std::filesystem::exists(folder.File("O1000.nc")));
    EXPECT_EQ(ReadFile(folder.File("o1000.NC")), "one");
    EXPECT_EQ(RenameItem(folder.File("sub"), "Sub"), "");
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("Sub")));
    EXPECT_EQ(RenameItem(folder.File("gone.nc"), "x.nc"),
              "Cannot rename " + folder.File("gone.nc") + " to x.nc: No such file or directory");
}

TEST(FileListItemNamesTest, NewFolderIsCreatedOnceAndFailuresNameIt) {
    TempFolder folder;
    EXPECT_EQ(CreateFolder(folder.Path() + "/", "Mill"), "");
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("Mill")));
    EXPECT_EQ(CreateFolder(folder.Path(), "Mill"),
              "Cannot create the folder " + folder.File("Mill") + ": File exists");
    EXPECT_EQ(CreateFolder(folder.Path(), "a/b"),
              "Cannot create the folder " + folder.File("a/b") + ": Invalid argument");
    EXPECT_EQ(CreateFolder(folder.File("gone"), "x"),
              "Cannot create the folder " + folder.File("gone/x") + ": No such file or directory");
}

} // namespace
} // namespace feedrail
