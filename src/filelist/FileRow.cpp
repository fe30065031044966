#include "filelist/FileRow.h"

#include "filelist/DateText.h"
#include "filelist/DriveRows.h"

namespace feedrail {
namespace {

std::string DriveSubValue(const FileRow& row, int n) {
    switch (n) {
    case 1:
        return row.TypeName;
    case 2:
        return MegabyteText(row.Size);
    case 3:
        return MegabyteText(row.Free);
    case 5:
        return row.Path;
    case 6:
        return "drv";
    default:
        return {};
    }
}

} // namespace

std::string SubValue(const FileRow& row, int n, TDateFormat format) {
    if (row.Kind == RowKind::Drive) {
        return DriveSubValue(row, n);
    }
    switch (n) {
    case 1:
        return std::to_string(row.Size);
    case 2:
        return row.TypeName;
    case 3:
        return DateText(row.Modified, format);
    case 4:
        return row.Attributes;
    case 5:
        return row.Path;
    case 6:
        return row.Kind == RowKind::Folder ? "dir" : "file";
    default:
        return {};
    }
}

} // namespace feedrail
