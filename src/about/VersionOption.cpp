#include "about/VersionOption.h"

#include "about/TEPInfoExe.h"

#include <algorithm>
#include <string>

namespace feedrail {

namespace {

bool HasArgument(int argc, const char* const* argv, std::string_view wanted) {
    return argc > 1 && std::find(argv + 1, argv + argc, wanted) != argv + argc;
}

} // namespace

bool AsksForVersion(int argc, const char* const* argv) {
    return HasArgument(argc, argv, "--version");
}

bool AsksForHelp(int argc, const char* const* argv) {
    return HasArgument(argc, argv, "--help") || HasArgument(argc, argv, "-h");
}

int PrintVersion(std::ostream& out, std::string_view program, std::string_view executable) {
    TEPInfoExe info;
    info.ExeName = executable;
    info.Read();
    out << program << " (Feedrail) " << info.FileVersion << '\n'
        << info.LegalCopyright << '\n'
        << "License: " << info.License << '\n'
        << "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n"
        << std::flush;
    return out ? 0 : 1;
}

int PrintUsage(std::ostream& out, std::string_view usage) {
    out << usage << std::flush;
    return out ? 0 : 1;
}

} // namespace feedrail
