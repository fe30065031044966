#include "filelist/RowOrder.h"

#include "filelist/FolderListing.h"
#include "support/TempFolder.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;
using Names = std::vector<std::string>;

Names Captions(const std::vector<FileRow>& rows) {
    Names names;
    for (const FileRow& row : rows) {
        names.push_back(row.Caption);
    }
    return names;
}

void SetModified(const std::string& path, int daysAgo) {
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::hours(24 * daysAgo));
}

// Sizes, types and times that sort each column differently from the names.
class FileListRowOrderTest : public ::testing::Test {
protected:
    FileListRowOrderTest() {
        WriteFile(folder_.File("b.nc"), std::string(300, 'x'));
        WriteFile(folder_.File("A.txt"), std::string(10, 'x'));
        WriteFile(folder_.File("c.tap"), std::string(2000, 'x'));
        WriteFile(folder_.File("D"), std::string(50, 'x'));
        std::filesystem::create_directory(folder_.File("Zeta"));
        std::filesystem::create_directory(folder_.File("alpha"));
        SetModified(folder_.File("b.nc"), 3);
        SetModified(folder_.File("A.txt"), 1);
        SetModified(folder_.File("c.tap"), 9);
        SetModified(folder_.File("D"), 5);
        SetModified(folder_.File("Zeta"), 2);
        SetModified(folder_.File("alpha"), 7);
        rows_ = ListFolder(folder_.Path() + "/", {});
        const std::map<std::string, std::string> types = {
            {"b.nc", "NC File"}, {"A.txt", "plain text"}, {"c.tap", "TAP File"}, {"D", "File"}};
        for (FileRow& row : rows_) {
            row.TypeName = row.Kind == RowKind::Folder ? "folder" : types.at(row.Caption);
        }
    }

    TempFolder folder_;
    std::vector<FileRow> rows_;
};

TEST_F(FileListRowOrderTest, ClicksSortByColumnReverseOnTheSameAndKeepFoldersApart) {
    const struct {
        std::vector<int> clicks;
        Names order;
    } cases[] = {
        {{}, {"alpha", "Zeta", "A.txt", "b.nc", "c.tap", "D"}},
        {{RowOrder::NameColumn}, {"D", "c.tap", "b.nc", "A.txt", "Zeta", "alpha"}},
        {{RowOrder::SizeColumn}, {"c.tap", "b.nc", "D", "A.txt", "Zeta", "alpha"}},
        {{RowOrder::SizeColumn, RowOrder::SizeColumn},
         {"alpha", "Zeta", "A.txt", "D", "b.nc", "c.tap"}},
        {{RowOrder::SizeColumn, RowOrder::SizeColumn, RowOrder::SizeColumn},
         {"c.tap", "b.nc", "D", "A.txt", "Zeta", "alpha"}},
        {{RowOrder::ModifiedColumn}, {"A.txt", "b.nc", "D", "c.tap", "Zeta", "alpha"}},
        {{RowOrder::ModifiedColumn, RowOrder::ModifiedColumn},
         {"alpha", "Zeta", "c.tap", "D", "b.nc", "A.txt"}},
        {{RowOrder::TypeColumn}, {"c.tap", "A.txt", "b.nc", "D", "Zeta", "alpha"}},
        {{RowOrder::SizeColumn, RowOrder::NameColumn},
         {"D", "c.tap", "b.nc", "A.txt", "Zeta", "alpha"}},
    };
    for (const auto& c : cases) {
        RowOrder order;
        for (const int column : c.clicks) {
            order.Click(column);
        }
        std::vector<FileRow> rows = rows_;
        order.Sort(rows);
        EXPECT_EQ(Captions(rows), c.order) << "after " << c.clicks.size() << " clicks";
    }
}

TEST_F(FileListRowOrderTest, AResetSortsByNameAscendingAgain) {
    RowOrder order;
    order.Click(RowOrder::SizeColumn);
    order.Reset();
    EXPECT_EQ(order.SortColumn(), RowOrder::NameColumn);
    EXPECT_FALSE(order.Descending());
    order.Sort(rows_);
    EXPECT_EQ(Captions(rows_), (Names{"alpha", "Zeta", "A.txt", "b.nc", "c.tap", "D"}));
}

TEST(FileListRowOrderDrivesTest, DrivesSortByTypeDiskSizeAndFreeSpace) {
    const auto drive = [](const char* caption, const char* type, std::uint64_t size,
                          std::uint64_t free) {
        FileRow row;
        row.Kind = RowKind::Drive;
        row.Caption = caption;
        row.TypeName = type;
        row.Size = size;
        row.Free = free;
        return row;
    };
    const std::vector<FileRow> drives = {drive(" (/)  ", "Fixed Disk", 500, 100),
                                         drive(" (/mnt/nas)  nas", "Network Disk", 9000, 50),
                                         drive(" (/tmp)  ", "RAM Disk", 20, 10)};
    const struct {
        int column;
        Names order;
    } cases[] = {
        {RowOrder::SizeColumn, {" (/tmp)  ", " (/mnt/nas)  nas", " (/)  "}},
        {RowOrder::TypeColumn, {" (/mnt/nas)  nas", " (/)  ", " (/tmp)  "}},
        {RowOrder::ModifiedColumn, {" (/)  ", " (/mnt/nas)  nas", " (/tmp)  "}},
    };
    for (const auto& c : cases) {
        RowOrder order;
        order.Click(c.column);
        std::vector<FileRow> rows = drives;
        order.Sort(rows);
        EXPECT_EQ(Captions(rows), c.order) << c.column;
    }
}

} // namespace
} // namespace feedrail
