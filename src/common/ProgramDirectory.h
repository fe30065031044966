#pragma once

#include <string>

namespace feedrail {

// The folder of the running program's executable, with a trailing "/".
// The profile files live there too, unless ChooseProfileFolder finds
// another place for them.
std::string ProgramDirectory();

} // namespace feedrail
