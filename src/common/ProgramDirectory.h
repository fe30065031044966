#pragma once

#include <string>

namespace feedrail {

// The folder of the running program's executable, with a trailing "/".
// Profile files and com<N> links live there.
std::string ProgramDirectory();

} // namespace feedrail
