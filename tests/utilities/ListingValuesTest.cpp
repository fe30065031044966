#include "utilities/ListingValues.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(ListingValuesTest, EachMeasureFollowsThePageAndTheColumnCount) {
    const struct {
        const char* page;
        int width, height;
        double millimetres;
        int columns;
        int resolution, penWidth, fontSize, margin, headingColumn, lastRow, columnWidth;
    } cases[] = {
        {"600 dpi, one column", 4800, 6600, 203.2, 1, 600, 3, 11, 202, 2219, 61, 4598},
        {"600 dpi, four columns", 4800, 6600, 203.2, 4, 600, 3, 6, 110, 1210, 116, 1172},
        {"a margin of 16.5 rounds down to even", 54, 99, 25.4, 2, 54, 0, 10, 16, 181, 8, 19},
        {"500.5 dpi rounds down to even, as does a pen of 2.5", 1001, 6000, 50.8, 3, 500, 2, 8, 122,
         1344, 94, 293},
        {"no columns are one", 4800, 6600, 203.2, 0, 600, 3, 11, 202, 2219, 61, 4598},
        {"seven columns are four", 4800, 6600, 203.2, 7, 600, 3, 6, 110, 1210, 116, 1172},
    };
    for (const auto& c : cases) {
        const ListingValues values =
            ListingValues::For(c.width, c.height, c.millimetres, c.columns);
        EXPECT_EQ(values.Resolution, c.resolution) << c.page;
        EXPECT_EQ(values.PenWidth, c.penWidth) << c.page;
        EXPECT_EQ(values.FontSize, c.fontSize) << c.page;
        EXPECT_EQ(values.LeftMargin, c.margin) << c.page;
        EXPECT_EQ(values.HeadingColumn, c.headingColumn) << c.page;
        EXPECT_EQ(values.LastRow, c.lastRow) << c.page;
        EXPECT_EQ(values.ColumnWidth, c.columnWidth) << c.page;
    }
}

TEST(ListingValuesTest, RowsRoundTheirHalvesToEven) {
    // A line pitch of 8.25 pixels: rows 2 and 6 fall on 16.5 and 49.5.
    const ListingValues values = ListingValues::For(54, 99, 25.4, 2);
    EXPECT_EQ(values.LinePitch, 8.25);
    const std::pair<int, int> rows[] = {{1, 8}, {2, 16}, {3, 25}, {6, 50}};
    for (const auto& [row, y] : rows) {
        EXPECT_EQ(values.RowY(row), y) << row;
    }
    EXPECT_EQ(values.ColumnX(1), 16);
    EXPECT_EQ(values.ColumnX(2), 35);
}

} // namespace
} // namespace feedrail
