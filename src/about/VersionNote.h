#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace feedrail {

// The program's version information travels inside its executable as an ELF
// note, so that a reader of the file finds it without running the program:
// owner "Feedrail", and as its description a table of "key=value" lines, each
// key the path of a string under its language and code page, as in
// "StringFileInfo\040904E4\FileVersion".
inline constexpr std::string_view VersionNoteSection = ".note.feedrail.version";
inline constexpr std::string_view VersionNoteOwner = "Feedrail";
inline constexpr std::uint32_t VersionNoteType = 1;

// The table of the version note of the file at `path`; nothing when the file
// has no such note.
std::optional<std::string> ReadVersionTable(const std::string& path);

// The value of the line for `key` in `table`; nothing when there is none.
std::optional<std::string> VersionTableValue(std::string_view table, std::string_view key);

} // namespace feedrail
