#include "filelist/FolderListing.h"

#include "support/TempFolder.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;
using Names = std::vector<std::string>;

class FileListFolderListingTest : public ::testing::Test {
protected:
    FileListFolderListingTest() {
        WriteFile(folder_.File("O1000"), "%\nO1000\n%\n");
        WriteFile(folder_.File("O1000.nc"), "%\nO1000\nG0\n%\n");
        WriteFile(folder_.File("O2000.TAP"), "%\nO2000\n%\n");
        WriteFile(folder_.File("notes.txt"), "notes");
        WriteFile(folder_.File(".hidden.nc"), "%\n");
        WriteFile(folder_.File("locked.nc"), "%\nO3000\n%\n");
        ::chmod(folder_.File("locked.nc").c_str(), 0444);
        std::filesystem::create_directory(folder_.File("sub"));
        std::filesystem::create_directory(folder_.File(".cache"));
    }

    std::vector<FileRow> List(const char* mask, TFileTypes types, bool showFolders = true) const {
        return ListFolder(folder_.Path() + "/", {FileMask(mask), types, showFolders});
    }

    Names Captions(const char* mask, TFileTypes types, bool showFolders = true) const {
        Names names;
        for (const FileRow& row : List(mask, types, showFolders)) {
            names.push_back(row.Caption);
        }
        std::ranges::sort(names);
        return names;
    }

    TempFolder folder_;
};

const TFileTypes All{ftReadOnly, ftHidden, ftSystem, ftArchive, ftNormal};

TEST_F(FileListFolderListingTest, MasksAttributesAndShowFoldersChooseTheRowsEachOnce) {
    const struct {
        const char* mask;
        TFileTypes types;
        bool showFolders;
        Names names;
    } cases[] = {
        {"*.*",
         All,
         true,
         {".cache", ".hidden.nc", "O1000", "O1000.nc", "O2000.TAP", "locked.nc", "notes.txt",
          "sub"}},
        {"*.nc;*.tap",
         All,
         true,
         {".cache", ".hidden.nc", "O1000.nc", "O2000.TAP", "locked.nc", "sub"}},
        {"*.nc;*.tap", {ftReadOnly, ftSystem}, true, {"O1000.nc", "O2000.TAP", "locked.nc", "sub"}},
        {"*.nc", {ftHidden}, true, {".cache", ".hidden.nc", "O1000.nc", "sub"}},
        {"*.nc", All, false, {".hidden.nc", "O1000.nc", "locked.nc"}},
        {"*.nc;O1000*;*.NC", {}, false, {"O1000", "O1000.nc"}},
        {"", All, false, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Captions(c.mask, c.types, c.showFolders), c.names) << c.mask;
    }
}

TEST_F(FileListFolderListingTest, RowsCarryKindSizePathAndAttributeLetters) {
    struct Expected {
        RowKind kind;
        std::uint64_t size;
        const char* attributes;
    };
    const std::map<std::string, Expected> expected = {
        {"O1000.nc", {RowKind::File, 13, ""}},   {"locked.nc", {RowKind::File, 10, "R"}},
        {".hidden.nc", {RowKind::File, 2, "H"}}, {"sub", {RowKind::Folder, 0, ""}},
        {".cache", {RowKind::Folder, 0, "H"}},
    };
    const std::vector<FileRow> rows = List("*.nc", All);
    ASSERT_EQ(rows.size(), expected.size());
    for (const FileRow& row : rows) {
        const Expected& e = expected.at(row.Caption);
        EXPECT_EQ(row.Kind, e.kind) << row.Caption;
        EXPECT_EQ(row.Size, e.size) << row.Caption;
        EXPECT_EQ(row.Attributes, e.attributes) << row.Caption;
        EXPECT_EQ(row.Path, folder_.File(row.Caption));
        EXPECT_NEAR(static_cast<double>(row.Modified), static_cast<double>(std::time(nullptr)),
                    60.0);
    }
}

TEST_F(FileListFolderListingTest, AFolderThatCannotBeReadListsNothing) {
    EXPECT_TRUE(ListFolder(folder_.File("gone/"), {}).empty());
    EXPECT_TRUE(ListFolder(folder_.File("O1000.nc"), {}).empty());
}

} // namespace
} // namespace feedrail
