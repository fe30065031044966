#include "filelist/RememberedFiles.h"

namespace feedrail {

std::string RememberedFiles::Remember(const std::vector<FileRow>& rows, PasteMode mode) {
    paths_.clear();
    mode_ = mode;
    bool folderSeen = false;
    for (const FileRow& row : rows) {
        if (row.Kind == RowKind::File) {
            paths_.push_back(row.Path);
        } else {
            folderSeen = true;
        }
    }
    return folderSeen ? std::string(FolderError) : std::string();
}

void RememberedFiles::Forget() {
    paths_.clear();
}

} // namespace feedrail
