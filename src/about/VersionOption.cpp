#include "about/VersionOption.h"

#include "about/TEPInfoExe.h"

#include <algorithm>
#include <string>

namespace feedrail {

bool AsksForVersion(int argc, const char* const* argv) {
    return argc > 1 &&
           std::find(argv + 1, argv + argc, std::string_view("--version")) != argv + argc;
}

int PrintVersion(std::ostream& out, std::string_view executable) {
    TEPInfoExe info;
    info.ExeName = executable;
    info.Read();
    out << "Feedrail " << info.FileVersion << '\n';
    return out ? 0 : 1;
}

} // namespace feedrail
