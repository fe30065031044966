#include "transfer/ComposedProgram.h"

#include <algorithm>
#include <utility>

namespace feedrail {

// The lines are taken as the operator chose them: the editor may still be
// edited while the send waits for the port or the machine's XON, and what
// goes out must be the program the dialog showed.
ComposedProgram::ComposedProgram(ProgramLines& editor, std::vector<std::string> head, int headLines,
                                 int startLine)
    : editor_(editor), lines_(std::move(head)), headCount_(static_cast<int>(lines_.size())),
      headLines_(headLines), startLine_(startLine) {
    for (int line = startLine_; line <= editor_.EditorLineCount(); ++line) {
        lines_.push_back(editor_.GetEditorLine(line));
    }
    for (const std::string& line : lines_) {
        bytes_ += line.size();
    }
}

std::string ComposedProgram::GetEditorLine(int line) const {
    return line >= 1 && line <= EditorLineCount() ? lines_[static_cast<std::size_t>(line - 1)]
                                                  : std::string();
}

int ComposedProgram::EditorLineCount() const {
    return static_cast<int>(lines_.size());
}

std::uint64_t ComposedProgram::EditorTextBytes() const {
    return bytes_;
}

// An edited head may have more or fewer lines than the editor's: its extra
// lines show as the head's last.
int ComposedProgram::EditorLine(int line) const {
    if (line > headCount_) {
        return startLine_ + line - headCount_ - 1;
    }
    return headLines_ == 0 ? startLine_ : std::min(line, headLines_);
}

void ComposedProgram::HighlightEditorLine(int line) {
    editor_.HighlightEditorLine(EditorLine(line));
}

} // namespace feedrail
