#include "utilities/ListingValues.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace feedrail {
namespace {

constexpr double MillimetresPerInch = 25.4;
constexpr double PointsPerInch = 72;
constexpr double PenWidthInches = 0.005;
constexpr double LineSpacing = 1.1;
// Smaller type for more columns, so that more of each line fits its column.
constexpr std::array<int, 4> FontSizeByColumns = {11, 10, 8, 6};

// The default rounding mode rounds halves to the even neighbour.
int RoundHalfEven(double value) {
    return static_cast<int>(std::lrint(value));
}

} // namespace

int ListingValues::RowY(int row) const {
    return RoundHalfEven(row * LinePitch);
}

int ListingValues::ColumnX(int column) const {
    return ColumnWidth * (column - 1) + LeftMargin;
}

ListingValues ListingValues::For(int width, int height, double printableWidthMm, int columns) {
    ListingValues values;
    values.Width = width;
    values.Height = height;
    values.Resolution = RoundHalfEven(width / (printableWidthMm / MillimetresPerInch));
    values.PenWidth = RoundHalfEven(values.Resolution * PenWidthInches);
    values.Columns = std::clamp(columns, 1, static_cast<int>(FontSizeByColumns.size()));
    values.FontSize = FontSizeByColumns[static_cast<std::size_t>(values.Columns - 1)];
    values.LinePitch = values.FontSize * values.Resolution / PointsPerInch * LineSpacing;
    values.LeftMargin = RoundHalfEven(2 * values.LinePitch);
    values.HeadingColumn = values.LeftMargin + RoundHalfEven(20 * values.LinePitch);
    values.LastRow = RoundHalfEven(height / values.LinePitch - 4);
    values.ColumnWidth = (width - values.LeftMargin) / values.Columns;
    return values;
}

} // namespace feedrail
