#include "filelist/FolderPath.h"

#include <algorithm>

namespace feedrail {

bool IsDrivesView(std::string_view directory) {
    return std::ranges::equal(directory, DrivesView, [](char a, char b) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
        return lower(a) == lower(b);
    });
}

std::string LevelUp(const std::string& directory) {
    if (directory == "/" || IsDrivesView(directory)) {
        return std::string(DrivesView);
    }
    std::string parent = directory;
    while (parent.size() > 1 && parent.back() == '/') {
        parent.pop_back();
    }
    parent.erase(parent.find_last_of('/') + 1);
    return parent.empty() ? "/" : parent;
}

} // namespace feedrail
