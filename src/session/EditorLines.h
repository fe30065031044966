#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace feedrail {

// The editor window's lines, numbered from 1.
class EditorLines {
public:
    virtual ~EditorLines() = default;

    virtual std::string GetEditorLine(int line) const = 0;
    // Replaces the lines from `first` on with `lines`, one for one, line breaks
    // kept.
    virtual void SetEditorLines(int first, const std::vector<std::string>& lines) = 0;
    // The changes between these two calls are taken back by one undo.
    virtual void BeginUndoStep() = 0;
    virtual void EndUndoStep() = 0;
    virtual int EditorLineCount() const = 0;
    // A line still being read from elsewhere: the send comes back for it
    // rather than wait.
    virtual bool EditorLineReady(int) const { return true; }
    // The bytes of the lines' text, their line ends not counted.
    virtual std::uint64_t EditorTextBytes() const = 0;
    virtual void HighlightEditorLine(int line) = 0;
    // Appends a received line, with the tidy-up of a program's first lines.
    virtual void AppendReceivedLine(const std::string& text) = 0;
    // Empties the editor and the file-name box for a receive.
    virtual void ClearEditorAndFileName() = 0;
    // The text differs from what was loaded or saved last: typed, renumbered
    // or received.
    virtual bool EditorModified() const = 0;
};

} // namespace feedrail
