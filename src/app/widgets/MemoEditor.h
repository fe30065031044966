#pragma once

#include <QString>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace feedrail {

// The line operations of the editor window, lines numbered from 1. Text
// passes through byte for byte (Latin-1), so no byte of a part program is
// changed on its way through the editor. Every line added ends with a line
// break, so the editor's last line is empty and not counted.
class MemoEditor {
public:
    explicit MemoEditor(QPlainTextEdit& memo) : memo_(memo) {}

    std::string GetEditorLine(int line) const;
    void SetEditorLine(int line, const std::string& text);
    int EditorLineCount() const;
    void HighlightEditorLine(int line);
    // Adds a line at the end; while `receivedLines` is below 4, an empty line
    // at that number is then removed (it came from the first line ends of a
    // receive).
    void AppendReceivedLine(const std::string& text, int receivedLines);
    // Replaces the lines from `first` on, one for one.
    void SetEditorLines(int first, const std::vector<std::string>& lines);
    // Groups the changes made until EndUndoStep into one undo step.
    void BeginUndoStep();
    void EndUndoStep();

    std::string Text() const;
    void SetText(const std::string& text);
    // Cuts the whole text to the clipboard and empties the editor.
    void CutAll();
    // Puts the caret at the start of the text without scrolling.
    void CaretToStart();

private:
    void RemoveLine(int line);

    QPlainTextEdit& memo_;
    bool undoStepOpen_ = false;
    bool undoStepStarted_ = false;
};

} // namespace feedrail
