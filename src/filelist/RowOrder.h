#pragma once

#include "filelist/FileRow.h"

#include <vector>

namespace feedrail {

// The order of the list by one of its five columns. A click on the column
// sorted by reverses the order; a click on another column sorts by it in
// descending order; a fill starts again by name, ascending. Folders and files
// stay apart: ascending puts folders first, descending puts them last.
class RowOrder {
public:
    enum Column { NameColumn, SizeColumn, TypeColumn, ModifiedColumn, AttributesColumn };

    void Reset();
    void Click(int column);
    void Sort(std::vector<FileRow>& rows) const;
    // Whether `a` comes before `b` in this order.
    bool Before(const FileRow& a, const FileRow& b) const;

    int SortColumn() const { return column_; }
    bool Descending() const { return descending_; }

private:
    bool Less(const FileRow& a, const FileRow& b) const;

    int column_ = NameColumn;
    bool descending_ = false;
};

} // namespace feedrail
