#pragma once

#include <ostream>
#include <string_view>

namespace feedrail {

// The running program's own file, readable even after a rebuild has replaced
// it on disk.
inline constexpr std::string_view RunningExecutable = "/proc/self/exe";

// Whether the command line asks for the version: `feedrail --version`.
bool AsksForVersion(int argc, const char* const* argv);

// Whether the command line asks for help: `--help` or `-h`, as it does for
// feedrail-tape and feedrail-machine too.
bool AsksForHelp(int argc, const char* const* argv);

// What `feedrail --help` prints.
inline constexpr std::string_view ProgramUsage =
    "usage: feedrail [--help] [--version] [Qt options such as -platform NAME] [FILE]\n"
    "Sends CNC part programs to machine tools over a serial line and collects\n"
    "the programs they punch; FILE, a part program, is loaded as Get does.\n"
    "Machine profiles are read from DNC.ini and the utilities from\n"
    "DNCUtilities.ini beside the program, or from ~/.config/feedrail/ when the\n"
    "program's folder may not be written.\n";

// Writes a program's usage and gives its exit status: not 0 when the text
// could not be written (a full disk, a closed pipe).
int PrintUsage(std::ostream& out, std::string_view usage);

// Writes the name of `program`, the version, copyright and licence read from
// the file `executable`, and gives the program's exit status: every program of
// Feedrail answers --version the same way.
int PrintVersion(std::ostream& out, std::string_view program,
                 std::string_view executable = RunningExecutable);

} // namespace feedrail
