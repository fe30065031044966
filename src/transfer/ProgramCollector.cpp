#include "transfer/ProgramCollector.h"

#include "common/ControlChars.h"
#include "transfer/ProgramFiles.h"

namespace feedrail {

void ProgramCollector::Take(char character) {
    using namespace ControlChar;
    if (TapeLineAssembler::NoPartOfALine(character)) {
        return;
    }
    switch (character) {
    case '\n':
        EndLine();
        return;
    case Dc2:
        if (state_ == State::Program) {
            Add(line_.Held(), false);
            End(ProgramSink::Ending::Interrupted, State::Between);
        }
        line_.Clear();
        midLine_ = false;
        state_ = State::Between;
        return;
    case Dc4:
        if (!line_.Held().empty() || midLine_) {
            EndLine();
        } else {
            line_.Clear();
        }
        if (state_ == State::Program) {
            End(ProgramSink::Ending::Complete, State::Outside);
        }
        state_ = State::Outside;
        return;
    default:
        TakeText(character);
        return;
    }
}

// Outside a record the parts of a long line tell nothing and are dropped.
void ProgramCollector::TakeText(char character) {
    if (!line_.Add(character)) {
        return;
    }
    if (state_ != State::Outside && !midLine_ && StartContent(line_.Held())) {
        midLine_ = true;
    }
    const std::string part = line_.TakePart();
    if (midLine_) {
        Add(part, false);
    }
}

void ProgramCollector::Interrupt() {
    if (state_ == State::Program) {
        Add(line_.Held(), false);
        End(ProgramSink::Ending::Interrupted, State::Outside);
    }
    line_.Clear();
    midLine_ = false;
    state_ = State::Outside;
}

void ProgramCollector::EndLine() {
    const bool percentLine = line_.PercentAlone();
    const bool empty = line_.Blank();
    const std::string line = line_.TakeLine();
    if (midLine_) {
        Add(line, true);
        midLine_ = false;
        return;
    }
    if (percentLine) {
        if (state_ == State::Program) {
            End(ProgramSink::Ending::Complete, State::Between);
        }
        state_ = State::Between;
        return;
    }
    if (state_ == State::Outside) {
        return;
    }
    if (empty && state_ != State::Program) {
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
