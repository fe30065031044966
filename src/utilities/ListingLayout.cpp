#include "utilities/ListingLayout.h"

#include <optional>
#include <stdexcept>
#include <string_view>

namespace feedrail {
namespace {

using PartNumber = std::optional<std::string>;

constexpr int PartNumberLines = 9;
constexpr int PartNumberFontSize = 14;
constexpr int RuleOffset = 5;
// Columns after the first, and the first of a continuation page without a
// part number, start on row 3.
constexpr int FurtherColumnsRow = 3;
// Below a part number a continuation page starts on row 5: a page that ends
// above it would never move the listing on.
constexpr int LatestContinuationRow = 5;

// The first of the first lines holding "(" and "PN" gives what follows "PN",
// without a closing parenthesis at the end of the line.
PartNumber FindPartNumber(ListingFile& file) {
    for (int line = 1; line <= PartNumberLines && !file.AtEnd(); ++line) {
        std::string text = file.NextLine();
        const std::size_t pn = text.find("PN");
        if (pn == std::string::npos || text.find('(') == std::string::npos) {
            continue;
        }
        if (text.back() == ')') {
            text.pop_back();
        }
        return text.substr(pn + 2);
    }
    return std::nullopt;
}

// Only the letters a to z: a file name's other bytes may be parts of a
// character in the file system's encoding.
std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

std::string HeadingFileName(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    return Upper(name.substr(0, name.find('.')));
}

// The name of the folder holding the file; the root keeps its "/".
std::string HeadingFolderName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == 0) {
        return "/";
    }
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    return Upper(folder.substr(folder.rfind('/') + 1));
}

// Draws the part number large on the row below `row`; returns the row below it.
int DrawPartNumber(const PartNumber& partNumber, int row, const ListingValues& values,
                   PagePainter& painter) {
    if (!partNumber) {
        return row;
    }
    painter.SetFontSize(PartNumberFontSize);
    painter.DrawText(values.LeftMargin, values.RowY(row + 1), *partNumber);
    painter.SetFontSize(values.FontSize);
    return row + 2;
}

// Returns the row the listing starts on.
int DrawFirstHeading(const std::string& path, const PartNumber& partNumber,
                     const ListingValues& values, PagePainter& painter) {
    painter.DrawText(values.LeftMargin, values.RowY(1), "PART NUMBER:");
    painter.DrawText(values.HeadingColumn, values.RowY(1), "DIRECTORY:");
    painter.DrawFileName(values.LeftMargin, values.RowY(2), HeadingFileName(path));
    painter.DrawFileName(values.HeadingColumn, values.RowY(2), HeadingFolderName(path));
    return DrawPartNumber(partNumber, 2, values, painter) + 2;
}

// Starts the next page; returns the row its first column starts on.
int DrawContinuationHeading(int page, const PartNumber& partNumber, const ListingValues& values,
                            PagePainter& painter) {
    painter.NewPage();
    painter.DrawText(values.HeadingColumn, values.RowY(1), "  Page " + std::to_string(page));
    return DrawPartNumber(partNumber, 1, values, painter) + 2;
}

// The rules run over the whole page, heading rows included.
void DrawRules(const ListingValues& values, PagePainter& painter) {
    for (int column = 2; column <= values.Columns; ++column) {
        const int x = values.ColumnX(column) - RuleOffset;
        painter.DrawLine(x, 0, x, values.Height);
    }
}

// Fills the page's columns from `row` on, with empty lines past the end.
void DrawColumns(ListingFile& file, int row, const ListingValues& values, PagePainter& painter) {
    for (int column = 1; column <= values.Columns; ++column) {
        for (; row <= values.LastRow; ++row) {
            painter.DrawText(values.ColumnX(column), values.RowY(row), file.NextLine());
        }
        row = FurtherColumnsRow;
    }
}

} // namespace

void LayOutListing(ListingFile& file, const ListingValues& values, PagePainter& painter) {
    if (values.LastRow < LatestContinuationRow) {
        throw std::runtime_error("the page is too short for a listing");
    }
    const PartNumber partNumber = FindPartNumber(file);
    painter.SetPenWidth(values.PenWidth);
    painter.SetFontSize(values.FontSize);
    int row = DrawFirstHeading(file.Path(), partNumber, values, painter);
    file.Rewind();
    int page = 1;
    while (!file.AtEnd()) {
        DrawRules(values, painter);
        DrawColumns(file, row, values, painter);
        row = FurtherColumnsRow;
        if (file.AtEnd()) {
            break;
        }
        row = DrawContinuationHeading(++page, partNumber, values, painter);
    }
    if (row > FurtherColumnsRow) {
        painter.NewPage();
        painter.DrawText(values.HeadingColumn, values.RowY(3), "Page " + std::to_string(++page));
    }
}

} // namespace feedrail
