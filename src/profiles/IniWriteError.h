#pragma once

#include <stdexcept>
#include <string>

namespace feedrail {

// Raised when a key cannot be written to a profile file; the file is unchanged.
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const std::string& path)
        : std::runtime_error("Unable to write to " + path), path_(path) {}

    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
};

} // namespace feedrail
