#include "filelist/FileMask.h"

#include <algorithm>
#include <fnmatch.h>

namespace feedrail {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

FileMask::FileMask(std::string_view mask) {
    while (!mask.empty()) {
        const auto end = std::min(mask.find(';'), mask.size());
        const std::string_view pattern = Trimmed(mask.substr(0, end));
        if (!pattern.empty()) {
            patterns_.emplace_back(pattern == "*.*" ? "*" : pattern);
        }
        mask.remove_prefix(std::min(end + 1, mask.size()));
    }
}

bool FileMask::Matches(const std::string& name) const {
    return std::ranges::any_of(patterns_, [&name](const std::string& pattern) {
        return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
    });
}

} // namespace feedrail
