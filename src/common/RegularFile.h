#pragma once

#include <functional>
#include <string>
#include <string_view>

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

// The same read handing the content on in pieces as they come, so that a big
// file is never held twice. Returns 0, or the errno of the failure (after
// some pieces, when reading fails part way).
int ReadRegularFile(const std::string& path, const std::function<void(std::string_view)>& take);

} // namespace feedrail
