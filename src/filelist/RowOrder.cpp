#include "filelist/RowOrder.h"

#include <algorithm>
#include <compare>
#include <string_view>

namespace feedrail {
namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::weak_ordering CompareIgnoringCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare_three_way(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char x, char y) { return Upper(x) <=> Upper(y); });
}

// Drives compare their type text, disk size and free space in the columns
// that show them; folders and files their size, type name and time.
std::weak_ordering CompareColumn(const FileRow& a, const FileRow& b, int column) {
    const bool drives = a.Kind == RowKind::Drive;
    switch (column) {
    case RowOrder::SizeColumn:
        return drives ? CompareIgnoringCase(a.TypeName, b.TypeName) : a.Size <=> b.Size;
    case RowOrder::TypeColumn:
        return drives ? a.Size <=> b.Size : CompareIgnoringCase(a.TypeName, b.TypeName);
    case RowOrder::ModifiedColumn:
        return drives ? a.Free <=> b.Free : a.Modified <=> b.Modified;
    case RowOrder::AttributesColumn:
        return CompareIgnoringCase(a.Attributes, b.Attributes);
    default:
        return std::weak_ordering::equivalent;
    }
}

// Folders before files.
int KindRank(const FileRow& row) {
    return row.Kind == RowKind::File ? 1 : 0;
}

} // namespace

void RowOrder::Reset() {
    column_ = NameColumn;
    descending_ = false;
}

void RowOrder::Click(int column) {
    descending_ = column == column_ ? !descending_ : true;
    column_ = column;
}

void RowOrder::Sort(std::vector<FileRow>& rows) const {
    std::ranges::stable_sort(rows,
                             [this](const FileRow& a, const FileRow& b) { return Before(a, b); });
}

bool RowOrder::Before(const FileRow& a, const FileRow& b) const {
    return descending_ ? Less(b, a) : Less(a, b);
}

// Rows equal in the column fall back to the name, so that every order is
// the same each time.
bool RowOrder::Less(const FileRow& a, const FileRow& b) const {
    if (const auto kinds = KindRank(a) <=> KindRank(b); kinds != 0) {
        return kinds < 0;
    }
    if (const auto byColumn = CompareColumn(a, b, column_); byColumn != 0) {
        return byColumn < 0;
    }
    if (const auto byName = CompareIgnoringCase(a.Caption, b.Caption); byName != 0) {
        return byName < 0;
    }
    return a.Caption < b.Caption;
}

} // namespace feedrail
