#include "transfer/TapeLineAssembler.h"

#include "common/ControlChars.h"

#include <utility>

namespace feedrail {

bool TapeLineAssembler::NoPartOfALine(char character) {
    using namespace ControlChar;
    return character == '\r' || character == Nul || character == Xon || character == Xoff;
}

bool TapeLineAssembler::Add(char character) {
    held_ += character;
    if (character != ' ' && character != '\t') {
        content_ = true;
        if (character == '%') {
            percents_ = percents_ < 2 ? percents_ + 1 : 2;
        } else {
            other_ = true;
        }
    }
    return held_.size() >= heldBytes_;
}

std::string TapeLineAssembler::TakePart() {
    return std::exchange(held_, {});
}

std::string TapeLineAssembler::TakeLine() {
    std::string line = std::exchange(held_, {});
    Clear();
    return line;
}

void TapeLineAssembler::Clear() {
    held_.clear();
    content_ = false;
    other_ = false;
    percents_ = 0;
}

} // namespace feedrail
