#pragma once

#include <cstdint>
#include <string>

namespace feedrail {

// The lines of the program a send reads, numbered from 1: the editor's, a
// program read from its file, or a head composed with the editor's lines.
class ProgramLines {
public:
    virtual ~ProgramLines() = default;

    virtual std::string GetEditorLine(int line) const = 0;
    virtual int EditorLineCount() const = 0;
    // A line still being read from elsewhere: the send comes back for it
    // rather than wait.
    virtual bool EditorLineReady(int) const { return true; }
    // The bytes of the lines' text, their line ends not counted.
    virtual std::uint64_t EditorTextBytes() const = 0;
    // Shows the line the send has reached, where someone looks.
    virtual void HighlightEditorLine(int line) = 0;
};

} // namespace feedrail
