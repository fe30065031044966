#pragma once

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace feedrail {

// What a request for a program number found in a folder.
struct ProgramLookup {
    std::optional<std::string> Path;
    // Files that would have answered but lead out of the folder, each with
    // where it leads: they are never sent.
    std::vector<std::string> Refused;
};

// The program numbers of a machine's folder, kept between requests: a file's
// first lines are read again only when it is new or has changed, so that a
// request in a folder of thousands of programs does not read them all.
class ProgramIndex {
public:
    // The program a request for `number` means, in `folder`: the file named
    // `number` + `extension`, else the first file by name whose name is the
    // same number, else the first whose first program-number line is that
    // number. Only regular files whose real path lies inside the folder
    // answer (a link within it does).
    ProgramLookup Find(const std::string& folder, const std::string& number,
                       const std::string& extension);

private:
    struct Entry {
        ino_t Inode = 0;
        off_t Size = 0;
        // The inode's change time: a write, or a modification time set by
        // hand, changes it.
        timespec Changed{};
        // Where a link leads when that is out of the folder; empty inside.
        std::string Outside;
        std::optional<std::string> Number;
        // The listing that last saw it.
        unsigned Pass = 0;
    };

    // Lists the folder again, keeping what is known of unchanged files.
    bool Refresh(const std::string& folder);
    Entry Examine(const std::string& name, const struct stat& file) const;

    std::string folder_;
    std::string realFolder_;
    // By name, so that "the first by name" is the map's order.
    std::map<std::string, Entry> entries_;
    unsigned pass_ = 0;
};

// Whether `path` lies inside the folder whose real path is `realFolder`.
bool RealPathInside(const std::string& path, const std::string& realFolder);
// Where `path` leads when that is out of `folder` (or cannot be told);
// nothing when it lies inside.
std::optional<std::string> LeadsOutOf(const std::string& path, const std::string& folder);

} // namespace feedrail
