#pragma once

#include "session/ProgramLines.h"
#include "session/ReceivedLines.h"

#include <string>
#include <vector>

namespace feedrail {

// The editor window's lines, numbered from 1: the program a send reads, what
// a receive fills, and what renumbering rewrites.
class EditorLines : public ProgramLines, public ReceivedLines {
public:
    // Replaces the lines from `first` on with `lines`, one for one, line breaks
    // kept.
    virtual void SetEditorLines(int first, const std::vector<std::string>& lines) = 0;
    // The changes between these two calls are taken back by one undo.
    virtual void BeginUndoStep() = 0;
    virtual void EndUndoStep() = 0;
};

} // namespace feedrail
