#pragma once

#include "session/EditorLines.h"

#include <QString>
#include <string>
#include <vector>

class QLineEdit;

namespace feedrail {

class ProgramEditor;

// The line operations of the editor window, lines numbered from 1. Text
// passes through as bytes, so no byte of a part program is changed on its
// way through the editor. A line ends at a line feed, a
// carriage return, or both; every line added ends with a line feed, so the
// editor's last line is empty and not counted.
class MemoEditor : public EditorLines {
public:
    // `fileName` is the box that names the editor's file; `receivedLines`
    // the receive's line counter, for the tidy-up of its first lines.
    MemoEditor(ProgramEditor& memo, QLineEdit& fileName, const int& receivedLines)
        : memo_(memo), fileName_(fileName), receivedLines_(receivedLines) {}

    std::string GetEditorLine(int line) const override;
    void SetEditorLine(int line, const std::string& text);
    int EditorLineCount() const override;
    std::uint64_t EditorTextBytes() const override;
    void HighlightEditorLine(int line) override;
    void AppendReceivedLine(const std::string& text) override;
    // Adds a line at the end; while `receivedLines` is below 4, an empty line
    // at that number is then removed (it came from the first line ends of a
    // receive).
    void AppendReceivedLine(const std::string& text, int receivedLines);
    // Replaces the lines from `first` on, one for one.
    void SetEditorLines(int first, const std::vector<std::string>& lines) override;
    // Groups the changes made until EndUndoStep into one undo step.
    void BeginUndoStep() override;
    void EndUndoStep() override;
    void ClearEditorAndFileName() override;
    bool EditorModified() const override;
    // The text is what its file holds now.
    void MarkSaved();

    std::string Text() const;
    // Loads a file's text: nothing in it is modified yet.
    void SetText(const std::string& text);
    // Loads the file at `path` piece by piece, without the carriage returns
    // before line feeds; a file that cannot be read leaves the editor as it
    // was. Returns 0 or the errno of the failure.
    int LoadFile(const std::string& path);
    // Cuts the whole text to the clipboard and empties the editor.
    void CutAll();
    // Puts the caret at the start of the text without scrolling.
    void CaretToStart();

private:
    // Reads the file at `path` into the document shown, without the carriage
    // returns before line feeds; returns 0 or the errno of the failure.
    int ReadInto(const std::string& path);
    // What a load leaves: the caret at the start, nothing to undo or save.
    void Loaded();
    void ClearText();
    void RemoveLine(int line);
    // Line `line`'s first byte, and the byte after its text.
    long LineStart(int line) const;
    long LineEnd(int line) const;
    std::string Bytes(long from, long to) const;
    void Replace(long from, long to, const std::string& text);

    ProgramEditor& memo_;
    QLineEdit& fileName_;
    const int& receivedLines_;
};

} // namespace feedrail
