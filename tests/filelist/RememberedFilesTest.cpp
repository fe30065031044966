#include "filelist/RememberedFiles.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

FileRow Row(RowKind kind, const char* path) {
    FileRow row;
    row.Kind = kind;
    row.Path = path;
    return row;
}

TEST(FileListRememberedFilesTest, ACutSelectionHoldingAFolderRemembersOnlyItsFiles) {
    RememberedFiles remembered;
    const std::string error =
        remembered.Remember({Row(RowKind::File, "/nc/O1000.nc"), Row(RowKind::Folder, "/nc/sub"),
                             Row(RowKind::File, "/nc/O2000.nc")},
                            PasteMode::Move);
    EXPECT_EQ(error, "ERROR - Folders can't be cut or copied \r                in this component");
    EXPECT_EQ(remembered.Paths(), (std::vector<std::string>{"/nc/O1000.nc", "/nc/O2000.nc"}));
    EXPECT_EQ(remembered.Mode(), PasteMode::Move);

    EXPECT_EQ(remembered.Remember({Row(RowKind::File, "/nc/O3000.nc")}, PasteMode::Copy), "");
    EXPECT_EQ(remembered.Paths(), std::vector<std::string>{"/nc/O3000.nc"});
    EXPECT_EQ(remembered.Mode(), PasteMode::Copy);

    remembered.Remember({Row(RowKind::Drive, "/")}, PasteMode::Copy);
    EXPECT_TRUE(remembered.Empty());
    remembered.Remember({Row(RowKind::File, "/nc/O3000.nc")}, PasteMode::Copy);
    remembered.Forget();
    EXPECT_TRUE(remembered.Empty());
}

} // namespace
} // namespace feedrail
