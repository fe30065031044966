#pragma once

#include <chrono>
#include <string>

namespace feedrail {

// The user's trash: $XDG_DATA_HOME/Trash, else ~/.local/share/Trash; empty
// without a home.
std::string HomeTrashFolder();

// Moves the item at `path` (a file, a folder, or a link itself, which is not
// followed) into the trash folder `trash`, laid out as desktops keep their
// trash: the item under files/, and beside it under
// info/ a .trashinfo naming where it came from and when, so that the
// desktop's trash can put it back. The folders are made when missing. The
// item is named by its own bytes throughout. Gives "" or the failure.
std::string MoveToTrash(const std::string& path, const std::string& trash,
                        std::chrono::system_clock::time_point now);

} // namespace feedrail
