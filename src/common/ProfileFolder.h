#pragma once

#include <string>
#include <string_view>

namespace feedrail {

// The files the operator's settings make: DNC.ini, DNCUtilities.ini, the port
// links com<N> and temp.nc. They live in the program's own folder when it
// already holds DNC.ini or the user may write it (a build, a copy on a USB
// stick); an installed program (in a folder the user may not write, or in
// /usr, /opt or /bin, also when root runs it) keeps them in
// `configFolder` instead, created when missing and given copies of the
// example profiles the first time. The result ends in "/".
// On that first start the example programs go to `programsFolder` (the
// user's "NC Programs", made when missing; none when empty), and the example
// machines are pointed there: the installed examples may not be written, and
// received programs must be saved somewhere.
std::string ChooseProfileFolder(std::string_view programDir, std::string_view configFolder,
                                std::string_view programsFolder = {});

// Where an installed program in <prefix>/bin/ finds its manual and examples:
// <prefix>/share/feedrail/, with a trailing "/".
std::string InstalledDataFolder(std::string_view programDir);

// The operator's manual: the one in `folder` when there is one (a build puts
// it beside the program), else the installed one, else the path in `folder`
// that names what is missing.
std::string HelpManualPath(std::string_view folder, std::string_view programDir);

// The profiles copied into a new configuration folder.
inline constexpr std::string_view ExampleProfiles[] = {"DNC.ini", "DNCUtilities.ini"};
inline constexpr std::string_view HelpManualName = "feedrail-help.html";

} // namespace feedrail
