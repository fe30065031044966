#pragma once

#include "filelist/FileRow.h"

#include <QString>
#include <vector>

namespace feedrail {

// The rows of the drives view: the mounted file systems a person would
// browse, each once.
std::vector<FileRow> MountedDriveRows();

// Whether `root` is still a mounted file system that answers.
bool IsDriveReady(const QString& root);

} // namespace feedrail
