#pragma once

#include "filelist/RememberedFiles.h"

#include <functional>
#include <string>
#include <vector>

struct stat;

namespace feedrail {

// Copies or moves files into a folder, as Paste and Send To do, so that
// nothing is lost: a copy is written under a temporary name and takes its
// own name only when complete and closed, a move to another file system
// removes the source only after such a copy, and a file of the same name is
// replaced only when the question says so. A copy into the file's own folder
// is named "Copy of ..."; a move into it leaves the file where it is.
class FileTransfer {
public:
    // Asked with the path of an existing file a transfer would replace.
    using ReplaceQuestion = std::function<bool(const std::string& target)>;

    explicit FileTransfer(ReplaceQuestion askReplace) : askReplace_(std::move(askReplace)) {}

    // The failure texts, one for each file that failed.
    std::vector<std::string> Transfer(const std::vector<std::string>& sources,
                                      const std::string& folder, PasteMode mode) const;

private:
    std::string TransferOne(const std::string& source, const std::string& folder,
                            PasteMode mode) const;

    ReplaceQuestion askReplace_;
};

} // namespace feedrail
