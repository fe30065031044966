#pragma once

#include <string>

namespace feedrail {

// The file version, copyright and licence out of a program's version
// information, read from the executable file itself (see VersionNote.h) under
// the language `LangId` and the Windows Latin-1 code page.
struct TEPInfoExe {
    std::string LangId = "0409";
    std::string ExeName;
    std::string FileVersion;
    std::string LegalCopyright;
    std::string License;

    // A file without version information leaves every field as it was;
    // information without one of them empties that one.
    void Read();
};

} // namespace feedrail
