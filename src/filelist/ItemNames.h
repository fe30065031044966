#pragma once

#include <string>

namespace feedrail {

// Renames `from` to `to` unless `to` exists. Returns 0 or the errno of the
// failure (EEXIST for an existing name).
int RenameNoReplace(const std::string& from, const std::string& to);

// Gives the item at `path` the name `newName` in the same folder. A name that
// exists is refused; the same name, or an empty one, does nothing. Returns
// the failure text, empty on success.
std::string RenameItem(const std::string& path, const std::string& newName);

// Creates the folder `name` in `folder`. Returns the failure text, empty on
// success.
std::string CreateFolder(const std::string& folder, const std::string& name);

// The path of `name` in `folder`, with one "/" between them.
std::string PathIn(const std::string& folder, const std::string& name);

} // namespace feedrail
