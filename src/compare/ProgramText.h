#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

// A program's lines as the bytes it holds, kept in one block so that a
// program of millions of lines costs one allocation and an index. CR LF ends
// a line as LF does; any other byte, NUL too, is part of its line.
class ProgramText {
public:
    ProgramText() = default;
    explicit ProgramText(std::string bytes);

    std::size_t LineCount() const { return starts_.size(); }
    // Without its line end.
    std::string_view Line(std::size_t index) const;
    std::size_t LongestLine() const { return longest_; }
    std::size_t ByteCount() const { return bytes_.size(); }

private:
    std::string bytes_;
    std::vector<std::size_t> starts_;
    std::size_t longest_ = 0;
};

// A program file read whole; `Error` is the errno of a failure.
struct ProgramTextRead {
    ProgramText Text;
    int Error = 0;
};

ProgramTextRead ReadProgramText(const std::string& path);

} // namespace feedrail
