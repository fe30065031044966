#include "app/widgets/MemoEditor.h"

#include "app/widgets/ProgramEditor.h"
#include "common/RegularFile.h"

#include <QLineEdit>
#include <cerrno>
#include <filesystem>
#include <new>

namespace feedrail {
namespace {

using Sci = QsciScintillaBase;

unsigned long Unsigned(long value) {
    return static_cast<unsigned long>(value);
}

// `piece` without the carriage returns before line feeds; one at the end of
// the piece waits in `heldCr` for the next piece to tell.
std::string WithoutLineEndCr(std::string_view piece, bool& heldCr) {
    std::string text;
    text.reserve(piece.size() + 1);
    if (heldCr && (piece.empty() || piece.front() != '\n')) {
        text += '\r';
    }
    heldCr = false;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] != '\r') {
            text += piece[i];
        } else if (i + 1 == piece.size()) {
            heldCr = true;
        } else if (piece[i + 1] != '\n') {
            text += '\r';
        }
    }
    return text;
}

} // namespace

long MemoEditor::LineStart(int line) const {
    return memo_.SendScintilla(Sci::SCI_POSITIONFROMLINE, Unsigned(line - 1));
}

long MemoEditor::LineEnd(int line) const {
    return memo_.SendScintilla(Sci::SCI_GETLINEENDPOSITION, Unsigned(line - 1));
}

std::string MemoEditor::Bytes(long from, long to) const {
    // The component adds a terminating NUL.
    std::string bytes(static_cast<std::size_t>(to - from) + 1, '\0');
    memo_.SendScintilla(Sci::SCI_GETTEXTRANGE, from, to, bytes.data());
    bytes.pop_back();
    return bytes;
}

void MemoEditor::Replace(long from, long to, const std::string& text) {
    memo_.SendScintilla(Sci::SCI_SETTARGETRANGE, Unsigned(from), to);
    memo_.SendScintilla(Sci::SCI_REPLACETARGET, static_cast<unsigned long>(text.size()),
                        text.data());
}

std::string MemoEditor::GetEditorLine(int line) const {
    if (line < 1 || line > memo_.lines()) {
        return {};
    }
    return Bytes(LineStart(line), LineEnd(line));
}

void MemoEditor::SetEditorLine(int line, const std::string& text) {
    if (line >= 1 && line <= memo_.lines()) {
        Replace(LineStart(line), LineEnd(line), text);
    }
}

int MemoEditor::EditorLineCount() const {
    const int lines = memo_.lines();
    return LineStart(lines) == LineEnd(lines) ? lines - 1 : lines;
}

// Every line end but a last one left open is one byte, a line feed.
std::uint64_t MemoEditor::EditorTextBytes() const {
    const long length = memo_.SendScintilla(QsciScintilla::SCI_GETLENGTH);
    return static_cast<std::uint64_t>(std::max(length - (memo_.lines() - 1), 0L));
}

void MemoEditor::HighlightEditorLine(int line) {
    if (line < 1 || line > memo_.lines()) {
        return;
    }
    // Selected from its end back to its start, so that scrolling to the
    // caret shows the start of the line rather than its end.
    memo_.SendScintilla(Sci::SCI_SETSEL, Unsigned(LineEnd(line)), LineStart(line));
    memo_.SendScintilla(Sci::SCI_SETXOFFSET, 0UL);
}

void MemoEditor::AppendReceivedLine(const std::string& text) {
    AppendReceivedLine(text, receivedLines_);
}

void MemoEditor::AppendReceivedLine(const std::string& text, int receivedLines) {
    const int last = memo_.lines();
    const std::string added = (LineStart(last) == LineEnd(last) ? "" : "\n") + text + "\n";
    memo_.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(added.size()),
                        added.data());
    if (receivedLines >= 1 && receivedLines < 4 && receivedLines <= EditorLineCount() &&
        GetEditorLine(receivedLines).empty()) {
        RemoveLine(receivedLines);
    }
}

// One replacement of the whole stretch: far faster on a big program than a
// change per line.
void MemoEditor::SetEditorLines(int first, const std::vector<std::string>& lines) {
    const int last = first + static_cast<int>(lines.size()) - 1;
    if (lines.empty() || first < 1 || last > memo_.lines()) {
        return;
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    text.pop_back();
    Replace(LineStart(first), LineEnd(last), text);
}

void MemoEditor::BeginUndoStep() {
    memo_.SendScintilla(Sci::SCI_BEGINUNDOACTION);
}

void MemoEditor::EndUndoStep() {
    memo_.SendScintilla(Sci::SCI_ENDUNDOACTION);
}

std::string MemoEditor::Text() const {
    return Bytes(0, memo_.SendScintilla(Sci::SCI_GETLENGTH));
}

void MemoEditor::SetText(const std::string& text) {
    // Loading is no step to undo, and collecting it would copy the text.
    memo_.SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 0UL);
    memo_.SendScintilla(Sci::SCI_CLEARALL);
    memo_.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.data());
    Loaded();
}

// Into a new document, so that the one shown stays whole until the file has
// been read to its end.
int MemoEditor::LoadFile(const std::string& path) {
    const long before = memo_.SendScintilla(Sci::SCI_GETDOCPOINTER);
    memo_.SendScintilla(Sci::SCI_ADDREFDOCUMENT, 0UL, before);
    memo_.NewDocument();
    memo_.SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 0UL);
    int error = 0;
    try {
        error = ReadInto(path);
    } catch (const std::bad_alloc&) {
        // A program bigger than the memory left: the text shown stays.
        error = ENOMEM;
    }
    if (error != 0) {
        memo_.SendScintilla(Sci::SCI_SETDOCPOINTER, 0UL, before);
    } else {
        Loaded();
    }
    memo_.SendScintilla(Sci::SCI_RELEASEDOCUMENT, 0UL, before);
    return error;
}

int MemoEditor::ReadInto(const std::string& path) {
    // Room for the whole file at once: growing piece by piece would copy the
    // text each time, the old copy and the new one both held.
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(path, sizeError);
    if (!sizeError) {
        memo_.SendScintilla(Sci::SCI_ALLOCATE, static_cast<unsigned long>(size) + 1);
    }
    bool heldCr = false;
    const auto append = [this](const std::string& text) {
        memo_.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()),
                            text.data());
    };
    const int error = ReadRegularFile(
        path, [&](std::string_view piece) { append(WithoutLineEndCr(piece, heldCr)); });
    append(heldCr ? "\r" : "");
    return error;
}

void MemoEditor::Loaded() {
    memo_.SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 1UL);
    memo_.SendScintilla(Sci::SCI_EMPTYUNDOBUFFER);
    memo_.SendScintilla(Sci::SCI_GOTOPOS, 0UL);
    memo_.FitLineNumbers(memo_.lines());
    MarkSaved();
}

void MemoEditor::CutAll() {
    memo_.selectAll();
    memo_.cut();
    ClearText();
}

void MemoEditor::ClearEditorAndFileName() {
    fileName_.clear();
    ClearText();
}

void MemoEditor::ClearText() {
    SetText({});
}

bool MemoEditor::EditorModified() const {
    return memo_.SendScintilla(Sci::SCI_GETMODIFY) != 0;
}

void MemoEditor::MarkSaved() {
    memo_.SendScintilla(Sci::SCI_SETSAVEPOINT);
}

void MemoEditor::CaretToStart() {
    const long firstLine = memo_.SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE);
    const long offset = memo_.SendScintilla(Sci::SCI_GETXOFFSET);
    memo_.SendScintilla(Sci::SCI_SETEMPTYSELECTION, 0UL);
    memo_.SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, Unsigned(firstLine));
    memo_.SendScintilla(Sci::SCI_SETXOFFSET, Unsigned(offset));
}

void MemoEditor::RemoveLine(int line) {
    Replace(LineStart(line), LineStart(line + 1), {});
}

} // namespace feedrail
