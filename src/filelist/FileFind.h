#pragma once

#include "filelist/FileMask.h"

#include <string>
#include <vector>

namespace feedrail {

// The folders and files below `folder` whose names match `mask`, at any
// depth, sorted by path. The search stays on the folder's file system, as a
// search of one drive does, does not follow links to folders, and passes over
// folders it may not read.
std::vector<std::string> FindFiles(const std::string& folder, const FileMask& mask);

} // namespace feedrail
