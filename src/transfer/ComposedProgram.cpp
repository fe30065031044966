#include "transfer/ComposedProgram.h"

#include <algorithm>
#include <utility>

namespace feedrail {

// The editor is read-only while a send runs, so its lines are read as the
// send reaches them, as for a send of the whole program.
ComposedProgram::ComposedProgram(EditorLines& editor, std::vector<std::string> head, int headLines,
                                 int startLine)
    : editor_(editor), head_(std::move(head)), headLines_(headLines), startLine_(startLine),
      count_(static_cast<int>(head_.size()) + editor.EditorLineCount() - startLine + 1) {
    for (const std::string& line : head_) {
        bytes_ += line.size();
    }
    for (int line = startLine_; line <= editor_.EditorLineCount(); ++line) {
        bytes_ += editor_.GetEditorLine(line).size();
    }
}

std::string ComposedProgram::GetEditorLine(int line) const {
    const int heads = static_cast<int>(head_.size());
    return line <= heads ? head_[static_cast<std::size_t>(line - 1)]
                         : editor_.GetEditorLine(EditorLine(line));
}

int ComposedProgram::EditorLineCount() const {
    return count_;
}

std::uint64_t ComposedProgram::EditorTextBytes() const {
    return bytes_;
}

// An edited head may have more or fewer lines than the editor's: its extra
// lines show as the head's last.
int ComposedProgram::EditorLine(int line) const {
    const int heads = static_cast<int>(head_.size());
    if (line > heads) {
        return startLine_ + line - heads - 1;
    }
    return headLines_ == 0 ? startLine_ : std::min(line, headLines_);
}

void ComposedProgram::HighlightEditorLine(int line) {
    editor_.HighlightEditorLine(EditorLine(line));
}

void ComposedProgram::SetEditorLines(int first, const std::vector<std::string>& lines) {
    editor_.SetEditorLines(first, lines);
}

void ComposedProgram::BeginUndoStep() {
    editor_.BeginUndoStep();
}

void ComposedProgram::EndUndoStep() {
    editor_.EndUndoStep();
}

void ComposedProgram::AppendReceivedLine(const std::string& text) {
    editor_.AppendReceivedLine(text);
}

void ComposedProgram::ClearEditorAndFileName() {
    editor_.ClearEditorAndFileName();
}

bool ComposedProgram::EditorModified() const {
    return editor_.EditorModified();
}

} // namespace feedrail
