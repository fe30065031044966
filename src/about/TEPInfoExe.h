#pragma once

#include <string>

namespace feedrail {

// The file version out of a program's version information, read from the
// executable file itself (see VersionNote.h) under the language `LangId` and
// the Windows Latin-1 code page.
struct TEPInfoExe {
    std::string LangId = "0409";
    std::string ExeName;
    std::string FileVersion;

    // A file without version information leaves `FileVersion` as it was;
    // information without a file version empties it.
    void Read();
};

} // namespace feedrail
