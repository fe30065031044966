#include "filelist/FolderListing.h"

#include "filelist/ItemAttributes.h"
#include "filelist/ItemNames.h"

#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace feedrail {
namespace {

bool PassesAttributes(const ItemAttributes& attributes, TFileTypes types) {
    return (!attributes.ReadOnly || types.Contains(ftReadOnly)) &&
           (!attributes.Hidden || types.Contains(ftHidden));
}

// A link whose target is gone is listed as a file of its own, so that it
// can be seen and deleted.
bool StatOrLinkStat(const std::string& path, struct stat& info) {
    return ::stat(path.c_str(), &info) == 0 || ::lstat(path.c_str(), &info) == 0;
}

} // namespace

std::optional<FileRow> ListedRow(const std::string& folder, const std::string& name,
                                 const ListingFilter& filter) {
    FileRow row;
    row.Caption = name;
    row.Path = PathIn(folder, name);
    struct stat info {};
    if (!StatOrLinkStat(row.Path, info)) {
        return std::nullopt;
    }
    const bool isFolder = S_ISDIR(info.st_mode);
    if (isFolder ? !filter.ShowFolders : !filter.Mask.Matches(name)) {
        return std::nullopt;
    }
    const ItemAttributes attributes = ReadItemAttributes(row.Path, info);
    if (!PassesAttributes(attributes, filter.FileType)) {
        return std::nullopt;
    }
    row.Kind = isFolder ? RowKind::Folder : RowKind::File;
    row.Size = isFolder ? 0 : static_cast<std::uint64_t>(info.st_size);
    row.Modified = info.st_mtim.tv_sec;
    row.Attributes = AttributeLetters(attributes);
    return row;
}

std::vector<FileRow> ListFolder(const std::string& folder, const ListingFilter& filter) {
    std::vector<FileRow> rows;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (std::optional<FileRow> row =
                ListedRow(folder, entry->path().filename().string(), filter)) {
            rows.push_back(std::move(*row));
        }
    }
    return rows;
}

} // namespace feedrail
