#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace feedrail {

// A punch whose receiving ended with Feedrail (a crash, a kill, a power
// cut), found in its hidden file.
struct Leftover {
    std::string Hidden;
    // Where it is kept now; empty when it could not be.
    std::string Path;
    std::uint64_t Bytes = 0;
    int Error = 0;
};

// Keeps the hidden files of receives that no running Feedrail writes any more
// in `folders` as incomplete programs ("O5001-incomplete-20261209-071500.nc",
// after the program's number and the file's last change), never replacing a
// file. Empty ones are removed.
std::vector<Leftover> RecoverLeftovers(const std::vector<std::string>& folders,
                                       const std::string& extension);

} // namespace feedrail
