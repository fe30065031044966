#include "common/ProgramDirectory.h"

#include <filesystem>
#include <system_error>

namespace feedrail {

std::string ProgramDirectory() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "./";
    }
    return executable.parent_path().string() + "/";
}

} // namespace feedrail
