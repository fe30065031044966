#pragma once

#include "serial/EnumSet.h"

#include <cstdint>
#include <string>

namespace feedrail {

// Which files a folder listing shows, by their attributes.
enum TFileType : std::uint8_t { ftReadOnly, ftHidden, ftSystem, ftArchive, ftNormal };
using TFileTypes = EnumSet<TFileType>;

// The date part of the "Modified" column.
enum TDateFormat : std::uint8_t { dfMDY, dfDMY, dfYMD };

enum class RowKind : std::uint8_t { Folder, File, Drive };

// One row of the list: a folder or file of the folder view, or a drive of the
// drives view.
struct FileRow {
    RowKind Kind = RowKind::File;
    std::string Caption;
    // The full path; a drive's ends with "/", a folder's does not.
    std::string Path;
    // Bytes: a file's size, a drive's disk size.
    std::uint64_t Size = 0;
    // A drive's free space in bytes.
    std::uint64_t Free = 0;
    // A folder's or file's last change, in seconds since the epoch.
    std::int64_t Modified = 0;
    // The type name of a folder or file, the drive type of a drive.
    std::string TypeName;
    std::string Attributes;
};

// Sub-value `n` (1 to 6) of a row: for a folder or file its size, type name,
// modified time, attribute letters, path and "dir" or "file"; for a drive its
// type, disk size, free space, nothing, root and "drv".
std::string SubValue(const FileRow& row, int n, TDateFormat format);

} // namespace feedrail
