#pragma once

#include <string>

namespace feedrail {

// The folder beside the programs where their earlier versions are kept.
inline constexpr const char* VersionsFolder = "versions";

struct EarlierVersion {
    // 0 when the name is free; otherwise the errno of what failed, and the
    // file stays where it was.
    int Error = 0;
    // Where the earlier file went; empty when there was none.
    std::string Path;
};

// Frees the name `folder` + `name` + `extension` for a program received
// under it: the regular file there moves into `folder`versions/ (made when
// missing) as "O1234-20261210-093012.nc", with its own modification time,
// or "-2" and on after that when the name is taken. Nothing there is ever
// replaced, and nothing is deleted. A link, a folder or another odd file
// under the name is never moved, nor put into a versions/ that is not a
// real folder, however it is swapped meanwhile.
EarlierVersion KeepEarlierVersion(const std::string& folder, const std::string& name,
                                  const std::string& extension);

// Puts an earlier version back under the name it had, when the program that
// was to take that name could not; 0 or the errno.
int RestoreEarlierVersion(const EarlierVersion& version, const std::string& path);

} // namespace feedrail
