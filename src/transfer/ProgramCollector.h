#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace feedrail {

// Gathers one program at a time out of the characters a machine punches
// (decoded; carriage returns, which ISO's parity may let through, are no
// part of a line): a program starts at its first
// "%" or at DC2 and ends at its second "%" or at DC4. Anything between
// programs, blank tape and the flow-control characters are not part of it,
// and a program of nothing but empty lines is none.
class ProgramCollector {
public:
    // Takes one character; gives the program's lines when it ended there.
    std::optional<std::vector<std::string>> Take(char character);
    // A program has started and not ended.
    bool Collecting() const { return collecting_; }
    std::size_t LineCount() const { return lines_.size(); }
    // Drops a program begun so far.
    void Reset();

private:
    std::optional<std::vector<std::string>> End();

    bool collecting_ = false;
    int percents_ = 0;
    std::string line_;
    std::vector<std::string> lines_;
};

} // namespace feedrail
