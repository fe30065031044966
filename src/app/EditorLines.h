#pragma once

#include <string>

namespace feedrail {

// The editor window's lines, numbered from 1.
class EditorLines {
public:
    virtual ~EditorLines() = default;

    virtual std::string GetEditorLine(int line) const = 0;
    virtual int EditorLineCount() const = 0;
    virtual void HighlightEditorLine(int line) = 0;
    // Appends a received line, with the tidy-up of a program's first lines.
    virtual void AppendReceivedLine(const std::string& text) = 0;
    // Empties the editor and the file-name box for a receive.
    virtual void ClearEditorAndFileName() = 0;
};

} // namespace feedrail
