#include "app/widgets/MemoEditor.h"

#include "common/widgets/TextBridge.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace feedrail {
std::string MemoEditor::GetEditorLine(int line) const {
    return TextBytes(memo_.document()->findBlockByNumber(line - 1).text());
}

void MemoEditor::SetEditorLine(int line, const std::string& text) {
    const QTextBlock block = memo_.document()->findBlockByNumber(line - 1);
    if (!block.isValid()) {
        return;
    }
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(BytesText(text));
}

int MemoEditor::EditorLineCount() const {
    const QTextDocument& document = *memo_.document();
    const int blocks = document.blockCount();
    return document.lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

void MemoEditor::HighlightEditorLine(int line) {
    const QTextBlock block = memo_.document()->findBlockByNumber(line - 1);
    if (!block.isValid()) {
        return;
    }
    // Selected from its end back to its start, so that scrolling to the
    // cursor shows the start of the line rather than its end.
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    memo_.setTextCursor(cursor);
    memo_.ensureCursorVisible();
    memo_.horizontalScrollBar()->setValue(0);
}

void MemoEditor::AppendReceivedLine(const std::string& text) {
    AppendReceivedLine(text, receivedLines_);
}

void MemoEditor::AppendReceivedLine(const std::string& text, int receivedLines) {
    QTextCursor cursor(memo_.document());
    cursor.movePosition(QTextCursor::End);
    if (!cursor.block().text().isEmpty()) {
        cursor.insertBlock();
    }
    cursor.insertText(BytesText(text) + QLatin1Char('\n'));
    if (receivedLines >= 1 && receivedLines < 4 && receivedLines <= EditorLineCount() &&
        GetEditorLine(receivedLines).empty()) {
        RemoveLine(receivedLines);
    }
}

// One replacement of the whole stretch: far faster on a big program than a
// change per line.
void MemoEditor::SetEditorLines(int first, const std::vector<std::string>& lines) {
    const QTextBlock start = memo_.document()->findBlockByNumber(first - 1);
    const QTextBlock end =
        memo_.document()->findBlockByNumber(first - 1 + static_cast<int>(lines.size()) - 1);
    if (lines.empty() || !start.isValid() || !end.isValid()) {
        return;
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    text.pop_back();
    QTextCursor cursor(start);
    cursor.setPosition(end.position() + end.length() - 1, QTextCursor::KeepAnchor);
    // Each change is laid out as it comes, yet joins the undo step's first
    // one: one edit block around them all would keep the whole layout work
    // waiting until the end.
    if (undoStepOpen_ && undoStepStarted_) {
        cursor.joinPreviousEditBlock();
    } else {
        cursor.beginEditBlock();
    }
    undoStepStarted_ = undoStepOpen_;
    cursor.insertText(BytesText(text));
    cursor.endEditBlock();
}

void MemoEditor::BeginUndoStep() {
    undoStepOpen_ = true;
    undoStepStarted_ = false;
}

void MemoEditor::EndUndoStep() {
    undoStepOpen_ = false;
}

std::string MemoEditor::Text() const {
    // Block by block, because the document's plain text turns a no-break
    // space (the byte 0xA0) into a blank.
    std::string text;
    for (QTextBlock block = memo_.document()->begin(); block.isValid(); block = block.next()) {
        if (block != memo_.document()->begin()) {
            text += '\n';
        }
        text += TextBytes(block.text());
    }
    return text;
}

void MemoEditor::SetText(const std::string& text) {
    memo_.setPlainText(BytesText(text));
    MarkSaved();
}

void MemoEditor::CutAll() {
    memo_.selectAll();
    memo_.cut();
    memo_.clear();
    MarkSaved();
}

void MemoEditor::ClearEditorAndFileName() {
    fileName_.clear();
    memo_.clear();
    MarkSaved();
}

bool MemoEditor::EditorModified() const {
    return memo_.document()->isModified();
}

void MemoEditor::MarkSaved() {
    memo_.document()->setModified(false);
}

void MemoEditor::CaretToStart() {
    const int scroll = memo_.verticalScrollBar()->value();
    QTextCursor cursor = memo_.textCursor();
    cursor.movePosition(QTextCursor::Start);
    memo_.setTextCursor(cursor);
    memo_.verticalScrollBar()->setValue(scroll);
}

void MemoEditor::RemoveLine(int line) {
    QTextCursor cursor(memo_.document()->findBlockByNumber(line - 1));
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

} // namespace feedrail
