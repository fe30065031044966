#pragma once

#include "session/ProgramLines.h"

#include <cstdint>
#include <string>
#include <vector>

namespace feedrail {

// A program put together for a send from a chosen block: the (edited) head,
// then the editor's lines from the start to the end, copied when it is made.
// A send reads it in the editor's place; the editor's text stays as it is,
// and its highlight falls on the editor's own line that each composed line
// came from.
class ComposedProgram : public ProgramLines {
public:
    // `headLines` is how many of the editor's first lines the head stands for;
    // `startLine` the editor's line the rest begins at.
    ComposedProgram(ProgramLines& editor, std::vector<std::string> head, int headLines,
                    int startLine);

    std::string GetEditorLine(int line) const override;
    int EditorLineCount() const override;
    std::uint64_t EditorTextBytes() const override;
    void HighlightEditorLine(int line) override;

    // The editor's line that the composed `line` came from.
    int EditorLine(int line) const;

private:
    ProgramLines& editor_;
    // The head, then the editor's lines from the start.
    std::vector<std::string> lines_;
    int headCount_;
    int headLines_;
    int startLine_;
    std::uint64_t bytes_ = 0;
};

} // namespace feedrail
