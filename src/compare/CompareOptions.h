#pragma once

#include <string>
#include <string_view>

namespace feedrail {

// What a comparison of two programs looks past; the lines shown stay as
// they are.
struct CompareOptions {
    // Blanks and tabs anywhere in a line.
    bool IgnoreWhiteSpace = false;
    // The N word at a block's start (after blanks and a block delete "/"),
    // so that a renumbered program compares with its original.
    bool IgnoreSequenceNumbers = false;
    // Text in parentheses, and all after ";", with the blanks a line then
    // ends in.
    bool IgnoreComments = false;

    bool Any() const { return IgnoreWhiteSpace || IgnoreSequenceNumbers || IgnoreComments; }
    bool operator==(const CompareOptions&) const = default;
};

// The part of `line` a comparison under `options` looks at, appended to `out`.
void AppendComparedPart(std::string_view line, const CompareOptions& options, std::string& out);

} // namespace feedrail
