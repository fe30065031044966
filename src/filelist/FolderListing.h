#pragma once

#include "filelist/FileMask.h"
#include "filelist/FileRow.h"

#include <optional>
#include <string>
#include <vector>

namespace feedrail {

// What a folder view lists.
struct ListingFilter {
    FileMask Mask{"*.*"};
    TFileTypes FileType{ftReadOnly, ftHidden, ftSystem, ftArchive};
    bool ShowFolders = true;
};

// The sub-folders (when the filter shows folders) and the files matching the
// mask of `folder`, each once, without "." and "..". A read-only item is
// listed only with ftReadOnly, a hidden one only with ftHidden. The rows come
// in no particular order and without type names. A folder that cannot be
// read lists nothing.
std::vector<FileRow> ListFolder(const std::string& folder, const ListingFilter& filter);

// The row of the item `name` of `folder`, when the filter lists it.
std::optional<FileRow> ListedRow(const std::string& folder, const std::string& name,
                                 const ListingFilter& filter);

} // namespace feedrail
