#include "utilities/Renumbering.h"

#include "utilities/RenumberRules.h"

namespace feedrail {

void Renumbering::Renumber() {
    state_.CancelRequested = false;
    const int lines = editor_.EditorLineCount();
    std::uint64_t number = 10;
    lastPoll_ = std::chrono::steady_clock::now();
    pending_.clear();
    firstPending_ = 0;
    editor_.BeginUndoStep();
    for (int line = 1; line <= lines && !state_.CancelRequested; ++line) {
        RenumberedLine result = RenumberLine(editor_.GetEditorLine(line), number);
        if (result.What == RenumberedLine::Rebuilt) {
            firstPending_ = firstPending_ == 0 ? line : firstPending_;
            number += 10;
        }
        if (firstPending_ != 0) {
            pending_.push_back(std::move(result.Text));
        }
        if (result.What != RenumberedLine::Skipped) {
            KeyCheck();
        }
    }
    Flush();
    editor_.EndUndoStep();
}

void Renumbering::KeyCheck() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < KeyPollInterval) {
        return;
    }
    lastPoll_ = now;
    Flush();
    if (keys_.EscapePressed()) {
        state_.CancelRequested = true;
    }
}

// The editor takes the new lines a stretch at a time: one change per line
// would be far slower, one change at the end would keep an Esc waiting.
void Renumbering::Flush() {
    if (!pending_.empty()) {
        editor_.SetEditorLines(firstPending_, pending_);
        firstPending_ += static_cast<int>(pending_.size());
        pending_.clear();
    }
}

} // namespace feedrail
