#include "filelist/ViewKinds.h"

#include "profiles/ProfileFile.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

namespace feedrail {
namespace {

constexpr std::string_view TextExtensions[] = {"c",   "cpp", "dpk", "dpr", "h",   "inf", "ini",
                                               "pas", "prg", "txt", "nc",  "tap", "ngc"};
constexpr std::string_view PictureExtensions[] = {"bmp", "png", "jpg", "jpeg", "gif",
                                                  "pbm", "pgm", "ppm", "xbm",  "xpm"};
constexpr std::string_view DocumentExtensions[] = {"doc", "rtf", "wri"};

std::string LowerCase(std::string text) {
    std::ranges::transform(text, text.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

template <std::size_t N>
bool IsIn(const std::string& extension, const std::string_view (&list)[N]) {
    return std::ranges::find(list, extension) != std::end(list);
}

// "nc", ".nc" and "*.nc" name the same extension; "*" names none.
std::string ProfileExtension(std::string value) {
    const auto start = value.find_first_not_of("*.");
    value.erase(0, std::min(start, value.size()));
    const bool wildcard = value.find_first_of("*?") != std::string::npos;
    return wildcard ? std::string() : LowerCase(value);
}

} // namespace

ViewKind ViewKinds::KindOf(const std::string& path) const {
    const std::string dotted = std::filesystem::path(path).extension().string();
    if (dotted.size() < 2) {
        return ViewKind::None;
    }
    const std::string extension = LowerCase(dotted.substr(1));
    if (IsIn(extension, TextExtensions) || IsProfileExtension(extension)) {
        return ViewKind::Text;
    }
    if (IsIn(extension, PictureExtensions)) {
        return ViewKind::Picture;
    }
    return IsIn(extension, DocumentExtensions) ? ViewKind::Document : ViewKind::None;
}

bool ViewKinds::IsProfileExtension(const std::string& extension) const {
    const ProfileFile profiles(profilePath_);
    for (const std::string& machine : profiles.MachineNames()) {
        for (const char* key : {"DefaultFileFilter", "DefaultExt"}) {
            if (ProfileExtension(profiles.Ini().ReadString(machine, key, "")) == extension) {
                return true;
            }
        }
    }
    return false;
}

} // namespace feedrail
