#pragma once

#include <string>

namespace feedrail {

// One entry of the directory-shortcut list: the label as shown (upper case)
// and the folder it leads to, as written in the file.
struct DirShortcut {
    std::string Label;
    std::string Path;
};

} // namespace feedrail
