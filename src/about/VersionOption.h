#pragma once

#include <ostream>
#include <string_view>

namespace feedrail {

// The running program's own file, readable even after a rebuild has replaced
// it on disk.
inline constexpr std::string_view RunningExecutable = "/proc/self/exe";

// Whether the command line asks for the version: `feedrail --version`.
bool AsksForVersion(int argc, const char* const* argv);

// Writes "Feedrail " and the version read from the file `executable`, and
// gives the program's exit status.
int PrintVersion(std::ostream& out, std::string_view executable = RunningExecutable);

} // namespace feedrail
