#pragma once

#include <string>
#include <vector>

namespace feedrail {

// Starts `program` with `arguments` in `folder` and does not wait for it; the
// program outlives the caller and leaves no zombie behind. Every path and
// argument reaches the program as its bytes, whatever encoding a name was
// written in. Returns 0, or the errno of what failed (the folder, the exec).
int StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& folder);

} // namespace feedrail
