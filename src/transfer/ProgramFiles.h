#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

// "O1234" for a line that starts with a program number ("O1234",
// "o1234 (BRACKET)"), blanks before it allowed; nothing otherwise.
std::optional<std::string> ProgramNumberOfLine(std::string_view line);
// The lines of a program's text, split at its line feeds.
std::vector<std::string> TextLines(const std::string& text);

// The number of the program's first program-number line.
std::optional<std::string> ProgramNumber(const std::vector<std::string>& lines);
// The number a request asks for: a program that holds, besides "%" lines and
// empty ones, only its program-number line, with at most a comment after it.
std::optional<std::string> RequestedNumber(const std::vector<std::string>& lines);

// "received-20261208-074512": the name of a program without a number.
std::string UnnumberedName(std::chrono::system_clock::time_point when);

struct NewProgramFile {
    std::string path;
    int error = 0; // errno of the failure; 0 when saved
};

// Saves `content` as `folder` + `name` + `extension`, or with "-2", "-3", …
// after the name when that exists: an existing file is never replaced.
NewProgramFile SaveNewProgram(const std::string& folder, const std::string& name,
                              const std::string& extension, std::string_view content);

// Moves the finished `file` to `folder` + `name` + `extension` in the same
// way, without ever replacing a file; `file` is gone when it succeeds.
NewProgramFile MoveNewProgram(const std::string& file, const std::string& folder,
                              const std::string& name, const std::string& extension);

// Whether two program numbers ("O12", "O0012") are one: leading zeros do not
// count.
bool SameProgramNumber(std::string_view a, std::string_view b);

} // namespace feedrail
