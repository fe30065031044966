#pragma once

#include <string>

namespace feedrail {

enum class ViewKind { None, Text, Picture, Document };

// How View shows a file, by its extension in any letter case: text files
// (.c, .cpp, .dpk, .dpr, .h, .inf, .ini, .pas, .prg, .txt, the part programs
// .nc, .tap, .ngc, and the extensions the machine profiles of DNC.ini name
// in DefaultFileFilter and DefaultExt) in a text viewer, pictures in a
// picture viewer, documents (.doc, .rtf, .wri) in the desktop's program for
// them. The profile file is read afresh for every question.
class ViewKinds {
public:
    explicit ViewKinds(std::string profilePath) : profilePath_(std::move(profilePath)) {}

    ViewKind KindOf(const std::string& path) const;

private:
    bool IsProfileExtension(const std::string& extension) const;

    std::string profilePath_;
};

} // namespace feedrail
