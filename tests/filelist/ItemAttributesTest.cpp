#include "filelist/ItemAttributes.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace feedrail {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

mode_t Mode(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(FileListItemAttributesTest, LettersShowReadOnlyAndHiddenOnly) {
    TempFolder folder;
    const struct {
        const char* name;
        mode_t mode;
        const char* letters;
    } cases[] = {
        {"O1000.nc", 0644, ""},  {"locked.nc", 0444, "R"}, {".O2000.nc", 0644, "H"},
        {".locked", 0400, "RH"}, {"O3000", 0600, ""},
    };
    for (const auto& c : cases) {
        WriteFile(folder.File(c.name), "%\n");
        ::chmod(folder.File(c.name).c_str(), c.mode);
        EXPECT_EQ(AttributeLetters(ReadItemAttributes(folder.File(c.name))), c.letters) << c.name;
    }
}

TEST(FileListItemAttributesTest, ChangesSetTheWriteBitsAndRenameToOrFromALeadingDot) {
    TempFolder folder;
    WriteFile(folder.File("O1000.nc"), "program");
    ::chmod(folder.File("O1000.nc").c_str(), 0664);

    AttributeChange change = ChangeAttributes(folder.File("O1000.nc"), {true, false});
    EXPECT_EQ(change.Error, "");
    EXPECT_EQ(change.Path, folder.File("O1000.nc"));
    EXPECT_EQ(Mode(change.Path), 0444u);

    change = ChangeAttributes(change.Path, {true, true});
    EXPECT_EQ(change.Error, "");
    EXPECT_EQ(change.Path, folder.File(".O1000.nc"));
    EXPECT_FALSE(std::filesystem::exists(folder.File("O1000.nc")));
    EXPECT_EQ(ReadItemAttributes(change.Path), (ItemAttributes{true, true}));

    change = ChangeAttributes(change.Path, {false, false});
    EXPECT_EQ(change.Error, "");
    EXPECT_EQ(change.Path, folder.File("O1000.nc"));
    EXPECT_EQ(Mode(change.Path), 0644u);
    EXPECT_EQ(ReadFile(change.Path), "program");
}

TEST(FileListItemAttributesTest, HidingOntoAnExistingNameIsRefused) {
    TempFolder folder;
    WriteFile(folder.File("O1000.nc"), "visible");
    WriteFile(folder.File(".O1000.nc"), "hidden");
    const AttributeChange change = ChangeAttributes(folder.File("O1000.nc"), {false, true});
    EXPECT_EQ(change.Error,
              "Cannot rename " + folder.File("O1000.nc") + " to .O1000.nc: File exists");
    EXPECT_EQ(change.Path, folder.File("O1000.nc"));
    EXPECT_EQ(ReadFile(folder.File("O1000.nc")), "visible");
    EXPECT_EQ(ReadFile(folder.File(".O1000.nc")), "hidden");
    EXPECT_EQ(ChangeAttributes(folder.File("gone"), {true, false}).Error,
              "Cannot change the attributes of " + folder.File("gone") +
                  ": No such file or directory");
}

TEST(FileListItemAttributesTest, AFolderCanBeHiddenAndMadeReadOnly) {
    TempFolder folder;
    std::filesystem::create_directory(folder.File("sub"));
    WriteFile(folder.File("sub/O1.nc"), "kept");
    const AttributeChange change = ChangeAttributes(folder.File("sub"), {true, true});
    EXPECT_EQ(change.Error, "");
    EXPECT_EQ(AttributeLetters(ReadItemAttributes(change.Path)), "RH");
    EXPECT_EQ(ReadFile(folder.File(".sub/O1.nc")), "kept");
    ::chmod(change.Path.c_str(), 0755);
}

// Shown again means no leading dot at all; a name that is taken is refused.
TEST(FileListItemAttributesTest, ShowingRemovesEveryLeadingDot) {
    TempFolder folder;
    WriteFile(folder.File("..O4000.nc"), "twice hidden");
    AttributeChange change = ChangeAttributes(folder.File("..O4000.nc"), {false, false});
    EXPECT_EQ(change.Error, "");
    EXPECT_EQ(change.Path, folder.File("O4000.nc"));
    EXPECT_EQ(ReadFile(folder.File("O4000.nc")), "twice hidden");
    WriteFile(folder.File("..O4000.nc"), "another");
    change = ChangeAttributes(folder.File("..O4000.nc"), {false, false});
    EXPECT_NE(change.Error, "");
    EXPECT_EQ(ReadFile(folder.File("O4000.nc")), "twice hidden");
}

} // namespace
} // namespace feedrail
