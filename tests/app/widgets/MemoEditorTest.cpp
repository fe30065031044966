#include "app/widgets/MemoEditor.h"

#include "app/widgets/ProgramEditor.h"
#include "support/TempFolder.h"

#include <QLineEdit>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

class MemoEditorTest : public ::testing::Test {
protected:
    ProgramEditor memo_;
    QLineEdit fileName_;
    int receivedLines_ = 0;
    MemoEditor editor_{memo_, fileName_, receivedLines_};
};

TEST_F(MemoEditorTest, LinesAreNumberedFromOneAndAnEmptyLastLineIsNotCounted) {
    const struct {
        std::string text;
        int count;
    } cases[] = {
        {"", 0},
        {"%\n", 1},
        {"%\nO1000\nG0 X1\n%\n", 4},
        {"%\nG1", 2},
        {"G1\n\n", 2},
        {"\n", 1}, // a carriage return alone ends a line, as in old Macintosh
                   // files
        {"G1\rX5\n", 2},
        {"G1\r\nX5\r\n", 2},
    };
    for (const auto& c : cases) {
        editor_.SetText(c.text);
        EXPECT_EQ(editor_.EditorLineCount(), c.count) << c.text;
    }
    editor_.SetText("%\nO1000\nG0 X1\n");
    EXPECT_EQ(editor_.GetEditorLine(1), "%");
    EXPECT_EQ(editor_.GetEditorLine(3), "G0 X1");
    editor_.SetEditorLine(2, "O2000");
    EXPECT_EQ(editor_.Text(), "%\nO2000\nG0 X1\n");
}

TEST_F(MemoEditorTest, EveryByteOfAProgramSurvivesTheEditor) {
    std::string bytes;
    for (int c = 1; c < 256; ++c) {
        if (c != '\n' && c != '\r') {
            bytes += static_cast<char>(c);
        }
    }
    editor_.SetText(bytes + "\n");
    EXPECT_EQ(editor_.GetEditorLine(1), bytes);
    EXPECT_EQ(editor_.Text(), bytes + "\n");
}

TEST_F(MemoEditorTest, TheEditorIsWhiteOnBlue) {
    EXPECT_EQ(memo_.paper(), QColor(0x00, 0x00, 0xa0));
    EXPECT_EQ(memo_.color(), QColor(Qt::white));
}

// A loaded program is no edit: nothing to undo, nothing to save.
TEST_F(MemoEditorTest, ALoadedProgramIsUnmodifiedAndUndoKeepsIt) {
    editor_.SetText("%\nO1000\n%\n");
    EXPECT_FALSE(editor_.EditorModified());
    memo_.undo();
    EXPECT_EQ(editor_.Text(), "%\nO1000\n%\n");
    editor_.BeginUndoStep();
    editor_.SetEditorLine(2, "O2000");
    editor_.SetEditorLines(1, {"%", "O3000"});
    editor_.EndUndoStep();
    EXPECT_TRUE(editor_.EditorModified());
    memo_.undo();
    EXPECT_EQ(editor_.Text(), "%\nO1000\n%\n") << "two changes of one step took back apart";
    EXPECT_FALSE(editor_.EditorModified());
}

// A file is read in pieces of 64 KiB: a line end split between two pieces
// is still one line end.
TEST_F(MemoEditorTest, LoadingAFileDropsOnlyTheCarriageReturnsOfLineEnds) {
    test::TempFolder folder;
    const std::string head(65535, 'X');
    const struct {
        const char* name;
        std::string content;
        std::string text;
    } cases[] = {
        {"CR LF across pieces", head + "\r\nG1\r\n", head + "\nG1\n"},
        {"a lone CR at a piece's end", head + "\rG1\n", head + "\rG1\n"},
        {"a CR last in the file", "G1\r", "G1\r"},
        {"an empty file", "", ""},
    };
    for (const auto& c : cases) {
        test::WriteFile(folder.File("O1.nc"), c.content);
        ASSERT_EQ(editor_.LoadFile(folder.File("O1.nc")), 0) << c.name;
        EXPECT_EQ(editor_.Text(), c.text) << c.name;
        EXPECT_FALSE(editor_.EditorModified()) << c.name;
    }
}

TEST_F(MemoEditorTest, AFileThatCannotBeReadLeavesTheEditorAndItsUndoAsTheyWere) {
    test::TempFolder folder;
    editor_.SetText("%\nO1000\n%\n");
    editor_.SetEditorLine(2, "O2000");
    EXPECT_EQ(editor_.LoadFile(folder.File("missing.nc")), ENOENT);
    EXPECT_EQ(editor_.LoadFile(folder.Path()), EISDIR);
    EXPECT_EQ(editor_.Text(), "%\nO2000\n%\n");
    EXPECT_TRUE(editor_.EditorModified());
    memo_.undo();
    EXPECT_EQ(editor_.Text(), "%\nO1000\n%\n");
}

TEST_F(MemoEditorTest, HighlightSelectsTheLineWithoutItsLineBreak) {
    editor_.SetText("%\nO1000\nG0 X1\n");
    editor_.HighlightEditorLine(2);
    EXPECT_EQ(memo_.selectedText(), QStringLiteral("O1000"));
    editor_.HighlightEditorLine(4);
    EXPECT_EQ(memo_.selectedText(), QString());
}

TEST_F(MemoEditorTest, HighlightKeepsTheStartOfALongLineInView) {
    memo_.resize(200, 100);
    memo_.show();
    const std::string comment = "(" + std::string(400, 'X') + ")";
    editor_.SetText("%\nG1 " + comment + "\n%\n");
    editor_.HighlightEditorLine(2);
    EXPECT_EQ(memo_.selectedText().toStdString(), "G1 " + comment);
    EXPECT_EQ(memo_.horizontalScrollBar()->value(), 0) << "the editor scrolled to the line's end";
}

// A receive of "%", LF, "O1000", CR LF, "G0 X1", LF, DC4 adds these lines,
// with the line counter a receive keeps.
TEST_F(MemoEditorTest, ReceivedLinesDropTheEmptyLinesOfTheFirstLineEnds) {
    const struct {
        const char* name;
        std::vector<std::pair<std::string, int>> appends;
        std::string text;
    } cases[] = {
        {"plain program", {{"%", 1}, {"O1000", 2}, {"G0 X1", 3}, {"", 4}}, "%\nO1000\nG0 X1\n\n"},
        {"two line feeds first", {{"", 1}, {"", 2}, {"%", 3}}, "\n%\n"},
        {"an early empty line goes, a later one stays",
         {{"%", 1}, {"", 2}, {"", 3}, {"G1", 4}},
         "%\n\nG1\n"},
        {"after a loaded file", {{"", 1}}, "G1\n\n"},
        {"before any receive has counted a line", {{"", 0}, {"%", 0}}, "\n%\n"},
    };
    for (const auto& c : cases) {
        editor_.SetText(c.name == std::string("after a loaded file") ? "G1" : "");
        for (const auto& [line, receivedLines] : c.appends) {
            editor_.AppendReceivedLine(line, receivedLines);
        }
        EXPECT_EQ(editor_.Text(), c.text) << c.name;
    }
}

} // namespace
} // namespace feedrail
