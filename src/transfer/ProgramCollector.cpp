#include "transfer/ProgramCollector.h"

#include "common/ControlChars.h"

#include <algorithm>

namespace feedrail {

using namespace ControlChar;

std::optional<std::vector<std::string>> ProgramCollector::Take(char character) {
    if (!collecting_) {
        if (character != '%' && character != Dc2) {
            return std::nullopt;
        }
        collecting_ = true;
    }
    switch (character) {
    case '\n':
        lines_.push_back(std::move(line_));
        line_.clear();
        return std::nullopt;
    case Dc4:
        return End();
    case '\r':
    case Nul:
    case Xon:
    case Xoff:
    case Dc2:
        return std::nullopt;
    default:
        line_ += character;
        if (character == '%' && ++percents_ == 2) {
            return End();
        }
        return std::nullopt;
    }
}

void ProgramCollector::Reset() {
    collecting_ = false;
    percents_ = 0;
    line_.clear();
    lines_.clear();
}

// A DC2 and a DC4 with nothing but line breaks between them is no program.
std::optional<std::vector<std::string>> ProgramCollector::End() {
    if (!line_.empty()) {
        lines_.push_back(std::move(line_));
    }
    std::vector<std::string> program = std::move(lines_);
    Reset();
    if (std::all_of(program.begin(), program.end(),
                    [](const std::string& line) { return line.empty(); })) {
        return std::nullopt;
    }
    return program;
}

} // namespace feedrail
