#pragma once

#include "filelist/FileRow.h"

#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

enum class PasteMode : std::uint8_t { Copy, Move };

// The files Cut or Copy remembered for the next Paste, and which of the two.
class RememberedFiles {
public:
    // Shown when a cut or copied selection holds a folder (the "\r" is a
    // carriage return, followed by 16 blanks).
    static constexpr std::string_view FolderError =
        "ERROR - Folders can't be cut or copied \r                in this component";

    // Remembers the files among `rows` in place of what was remembered. Only
    // files are taken; when the rows hold a folder or drive the result is
    // FolderError, otherwise empty.
    std::string Remember(const std::vector<FileRow>& rows, PasteMode mode);
    void Forget();

    bool Empty() const { return paths_.empty(); }
    const std::vector<std::string>& Paths() const { return paths_; }
    PasteMode Mode() const { return mode_; }

private:
    std::vector<std::string> paths_;
    PasteMode mode_ = PasteMode::Copy;
};

} // namespace feedrail
