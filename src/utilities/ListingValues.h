#pragma once

namespace feedrail {

// The measures of a listing on one page size, in device pixels unless said
// otherwise. Rounded values round to the nearest whole number, halves to the
// even neighbour.
struct ListingValues {
    int Width = 0;      // of the printable page
    int Height = 0;     // of the printable page
    int Resolution = 0; // pixels per inch
    int PenWidth = 0;   // of the column rules
    int Columns = 1;
    int FontSize = 0;      // points
    double LinePitch = 0;  // a row's height, not rounded
    int LeftMargin = 0;    // x of the first column and the heading
    int HeadingColumn = 0; // x of the heading's second column and the page number
    int LastRow = 0;       // the last row a column fills, rows counted from 1
    int ColumnWidth = 0;

    // The top of a row, rows counted from 1 at the top of the page.
    int RowY(int row) const;
    // The left edge of a column's text, columns counted from 1.
    int ColumnX(int column) const;

    // A column count outside 1 to 4 is taken as the nearest of them.
    static ListingValues For(int width, int height, double printableWidthMm, int columns);
};

} // namespace feedrail
