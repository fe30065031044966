#pragma once

#include <stdexcept>
#include <string>

namespace feedrail {

// Raised when a key cannot be written to a profile file; the file is unchanged.
// The message names the reason: "Unable to write to /x/DNC.ini: Permission
// denied".
class IniWriteError : public std::runtime_error {
public:
    IniWriteError(const std::string& path, const std::string& reason)
        : std::runtime_error("Unable to write to " + path + ": " + reason), path_(path) {}

    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
};

} // namespace feedrail
