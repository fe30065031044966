#include "filelist/FileFind.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace feedrail {
namespace {

bool OnDevice(const std::filesystem::path& path, dev_t device) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && info.st_dev == device;
}

} // namespace

std::vector<std::string> FindFiles(const std::string& folder, const FileMask& mask) {
    std::vector<std::string> matches;
    struct stat top {};
    if (::stat(folder.c_str(), &top) != 0) {
        return matches;
    }
    std::error_code error;
    std::filesystem::recursive_directory_iterator entry(
        folder, std::filesystem::directory_options::skip_permission_denied, error);
    for (const std::filesystem::recursive_directory_iterator end; !error && entry != end;
         entry.increment(error)) {
        const std::filesystem::path& path = entry->path();
        if (mask.Matches(path.filename().string())) {
            matches.push_back(path.string());
        }
        std::error_code ignored;
        if (entry->is_directory(ignored) && !OnDevice(path, top.st_dev)) {
            entry.disable_recursion_pending();
        }
    }
    std::ranges::sort(matches);
    return matches;
}

} // namespace feedrail
