#pragma once

#include <string>

namespace feedrail {

// The whole content of a regular file. A folder, a device or a pipe under the
// name fails at once instead of being read or waited on.
struct RegularFileRead {
    enum Outcome { Read, Missing, Failed };

    Outcome outcome = Failed;
    std::string content;
    int error = 0; // errno of the failure
};

RegularFileRead ReadRegularFile(const std::string& path);

} // namespace feedrail
