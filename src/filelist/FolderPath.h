#pragma once

#include <string>
#include <string_view>

namespace feedrail {

// The directory value that shows the drives view.
inline constexpr std::string_view DrivesView = "Drives";

// "Drives" in any letter case.
bool IsDrivesView(std::string_view directory);

// Where one level up goes from a directory value (a folder ending with "/",
// or "Drives"): the parent folder; from "/", which plays the drive root, the
// drives view; from the drives view, nowhere (the drives view again).
std::string LevelUp(const std::string& directory);

} // namespace feedrail
