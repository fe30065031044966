#pragma once

#include <string>

namespace feedrail {

// The folder beside the programs where their earlier versions are kept.
inline constexpr const char* VersionsFolder = "versions";

// Frees the name `folder` + `name` + `extension` for a program received
// under it: the regular file there moves into `folder`versions/ (made when
// missing) as "O1234-20261210-093012.nc", with its own modification time,
// or "-2" and on after that when the name is taken. Nothing there is ever
// replaced, and nothing is deleted. 0 when the name is free; otherwise the
// errno of what failed, and the file stays where it was: a link, a folder
// or another odd file under the name is never moved, nor put into a
// versions/ that is not a real folder.
int KeepEarlierVersion(const std::string& folder, const std::string& name,
                       const std::string& extension);

} // namespace feedrail
