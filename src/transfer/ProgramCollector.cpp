#include "transfer/ProgramCollector.h"

#include "common/ControlChars.h"
#include "transfer/ProgramFiles.h"

namespace feedrail {
namespace {

using namespace ControlChar;

bool PercentLine(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    const std::size_t last = line.find_last_not_of(" \t");
    return first != std::string_view::npos && first == last && line[first] == '%';
}

bool EmptyLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

void ProgramCollector::Take(char character) {
    switch (character) {
    case '\n':
        EndLine();
        return;
    case Dc2:
        if (state_ == State::Program) {
            Add(line_, false);
            End(ProgramSink::Ending::Interrupted, State::Between);
        }
        line_.clear();
        midLine_ = false;
        state_ = State::Between;
        return;
    case Dc4:
        if (!line_.empty() || midLine_) {
            EndLine();
        }
        if (state_ == State::Program) {
            End(ProgramSink::Ending::Complete, State::Outside);
        }
        state_ = State::Outside;
        return;
    case '\r':
    case Nul:
    case Xon:
    case Xoff:
        return;
    default:
        if (state_ == State::Outside) {
            TakeOutside(character);
            return;
        }
        line_ += character;
        if (line_.size() >= PartBytes) {
            if (!midLine_ && StartContent(line_)) {
                midLine_ = true;
            }
            if (midLine_) {
                Add(line_, false);
            }
            line_.clear();
        }
        return;
    }
}

// Outside a record only a "%" line matters: a line is held as far as it
// tells that.
void ProgramCollector::TakeOutside(char character) {
    if (character != ' ' && character != '\t') {
        line_ = line_.empty() ? std::string(1, character) : std::string("..");
    }
}

void ProgramCollector::Interrupt() {
    if (state_ == State::Program) {
        Add(line_, false);
        End(ProgramSink::Ending::Interrupted, State::Outside);
    }
    line_.clear();
    midLine_ = false;
    state_ = State::Outside;
}

void ProgramCollector::EndLine() {
    const std::string line = std::move(line_);
    line_.clear();
    if (midLine_) {
        Add(line, true);
        midLine_ = false;
        return;
    }
    if (PercentLine(line)) {
        if (state_ == State::Program) {
            End(ProgramSink::Ending::Complete, State::Between);
        }
        state_ = State::Between;
        return;
    }
    if (state_ == State::Outside) {
        return;
    }
    if (EmptyLine(line) && state_ != State::Program) {
        return;
    }
    if (StartContent(line) || state_ == State::Program) {
        Add(line, true);
    }
}

bool ProgramCollector::StartContent(std::string_view line) {
    const bool number = ProgramNumberOfLine(line).has_value();
    if (state_ == State::Skipping && !number) {
        return false;
    }
    if (state_ == State::Program && number && numbered_) {
        End(ProgramSink::Ending::Complete, State::Between);
    }
    if (state_ != State::Program) {
        Begin();
    }
    numbered_ = numbered_ || number;
    return true;
}

void ProgramCollector::Begin() {
    state_ = State::Program;
    numbered_ = false;
    bytes_ = 0;
    emptyLines_ = 0;
    sink_.ProgramBegins();
}

void ProgramCollector::Add(std::string_view text, bool lineEnds) {
    if (state_ != State::Program) {
        return;
    }
    const bool empty = lineEnds && text.empty() && !midLine_;
    // The empty lines held back count against the program's size as they
    // come: a tape of nothing but line feeds is no way past the limit.
    const std::uint64_t size =
        bytes_ + emptyLines_ + (empty ? 1 : text.size() + (lineEnds ? 1 : 0));
    if (size > mostBytes_) {
        End(ProgramSink::Ending::TooLong, State::Skipping);
        return;
    }
    if (empty) {
        ++emptyLines_;
        return;
    }
    for (; emptyLines_ > 0; --emptyLines_) {
        sink_.ProgramText("\n");
    }
    bytes_ = size;
    if (!text.empty()) {
        sink_.ProgramText(text);
    }
    if (lineEnds) {
        sink_.ProgramText("\n");
    }
}

void ProgramCollector::End(ProgramSink::Ending ending, State next) {
    emptyLines_ = 0;
    midLine_ = false;
    state_ = next;
    sink_.ProgramEnds(ending);
}

} // namespace feedrail
