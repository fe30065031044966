#pragma once

#include <string>

namespace feedrail {

// Where the window's Receive puts what the machine punches: the editor.
class ReceivedLines {
public:
    virtual ~ReceivedLines() = default;

    // Appends a received line, with the tidy-up of a program's first lines.
    virtual void AppendReceivedLine(const std::string& text) = 0;
    // Empties the editor and the file-name box for a receive.
    virtual void ClearEditorAndFileName() = 0;
    // The text differs from what was loaded or saved last: typed, renumbered
    // or received.
    virtual bool EditorModified() const = 0;
};

} // namespace feedrail
