#include "compare/ProgramComparison.h"

#include "support/TempFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace feedrail {
namespace {

using namespace std::string_literals;

// A row as one letter: = same, ~ changed, + added, - removed.
std::string Marks(const Comparison& result) {
    std::string marks;
    for (const CompareRow& row : result.Rows) {
        marks += "=~+-"[row.What];
    }
    return marks;
}

TEST(ProgramComparisonTest, RowsMarkEachLinePairAndCountTheDifferingOnes) {
    constexpr CompareOptions None{};
    constexpr CompareOptions Blanks{true, false, false};
    constexpr CompareOptions Numbers{false, true, false};
    constexpr CompareOptions Comments{false, false, true};
    const struct {
        const char* what;
        std::string left, right;
        CompareOptions options;
        const char* marks;
        std::vector<std::size_t> differences;
    } cases[] = {
        {"both empty", "", "", None, "", {}},
        {"left empty", "", "a\nb\n", None, "++", {0}},
        {"right empty", "a\nb\n", "", None, "--", {0}},
        {"identical", "%\nO1\nG0 X1\n%\n", "%\nO1\nG0 X1\n%\n", None, "====", {}},
        {"all changed", "a\nb\nc\n", "x\ny\nz\n", None, "~~~", {0}},
        {"insert at start", "a\nb\n", "x\na\nb\n", None, "+==", {0}},
        {"insert at end", "a\nb\n", "a\nb\nx\n", None, "==+", {2}},
        {"a changed line between same ones", "a\nb\nc\n", "a\nB\nc\n", None, "=~=", {1}},
        {"more changed on the left", "a\nb\nc\nd\n", "a\nX\nd\n", None, "=~-=", {1}},
        {"a moved block", "a\nb\nc\nd\ne\n", "d\ne\na\nb\nc\n", None, "++===--", {0, 5}},
        {"repeated lines, one gone", "G1\nG1\nG1\n", "G1\nG1\n", None, "==-", {2}},
        {"repeated lines between others",
         "x\nG1\ny\nG1\n",
         "G1\ny\nG1\nG1\n",
         None,
         "-===+",
         {0, 4}},
        {"CR LF and LF alike", "a\r\nb\r\n", "a\nb\n", None, "==", {}},
        {"no line end at the end", "a\nb", "a\nb\n", None, "==", {}},
        {"a NUL is part of its line", "a\0b\nc\n"s, "a\0x\nc\n"s, None, "~=", {0}},
        {"blanks count", "G1 X1\n", "G1X1\t\n", None, "~", {0}},
        {"blanks ignored", "G1 X1\n", "G1X1\t\n", Blanks, "=", {}},
        {"sequence numbers count", "N10 G1\n/N20 X1\n", "N20 G1\n/N30 X1\n", None, "~~", {0}},
        {"sequence numbers ignored",
         "N10 G1\n /N20 X1\nG1 N5\n",
         "N20 G1\n /N30 X1\nG1 N6\n",
         Numbers,
         "==~",
         {2}},
        {"a numbered block against one without", "N10G1 X1\n", "G1 X1\n", Numbers, "=", {}},
        {"comments count", "G1 X1 (ROUGH)\n", "G1 X1 (FINISH)\n", None, "~", {0}},
        {"comments ignored",
         "G1 (ROUGH) X1 ;a\nG2 (OPEN\n",
         "G1 (FINISH) X1 ;b\nG2\n",
         Comments,
         "==",
         {}},
        {"a comment's text is no sequence number", "(N10) G1\n", "(N20) G1\n", Numbers, "~", {0}},
    };
    for (const auto& c : cases) {
        const Comparison result =
            ComparePrograms(ProgramText(c.left), ProgramText(c.right), c.options);
        EXPECT_EQ(Marks(result), c.marks) << c.what;
        EXPECT_EQ(result.Differing,
                  Marks(result).size() - std::count(c.marks, c.marks + std::strlen(c.marks), '='))
            << c.what;
        EXPECT_EQ(result.Differences, c.differences) << c.what;
    }
}

// Programs that differ throughout make the search stop at its cost bound and
// split there: every line must still stand once, in order, and a row of the
// same lines must hold equal lines.
TEST(ProgramComparisonTest, ProgramsDifferingThroughoutKeepEveryLineInOrder) {
    std::mt19937 random(7);
    std::string left, right;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "G1 X" + std::to_string(random() % 500) + "\n";
        left += line;
        switch (random() % 3) {
        case 0:
            right += line;
            break;
        case 1:
            right += "G1 Y" + std::to_string(random() % 500) + "\n" + line;
            break;
        default:
            break;
        }
    }
    const ProgramText leftText(left), rightText(right);
    const Comparison result = ComparePrograms(leftText, rightText, {});
    std::size_t nextLeft = 0, nextRight = 0, same = 0;
    for (const CompareRow& row : result.Rows) {
        if (row.Left != CompareRow::NoLine) {
            ASSERT_EQ(row.Left, nextLeft++);
        }
        if (row.Right != CompareRow::NoLine) {
            ASSERT_EQ(row.Right, nextRight++);
        }
        if (row.What == CompareRow::Same) {
            ASSERT_EQ(leftText.Line(row.Left), rightText.Line(row.Right));
            ++same;
        }
    }
    EXPECT_EQ(nextLeft, leftText.LineCount());
    EXPECT_EQ(nextRight, rightText.LineCount());
    EXPECT_EQ(result.Differing, result.Rows.size() - same);
    // Two thirds of the left lines are still on the right.
    EXPECT_GT(same, leftText.LineCount() / 2);
}

TEST(ProgramComparisonTest, AProgramFileIsReadAsItsBytes) {
    test::TempFolder folder;
    test::WriteFile(folder.File("O1.nc"), "%\r\nO1\0X\r\n%"s);
    const ProgramTextRead read = ReadProgramText(folder.File("O1.nc"));
    ASSERT_EQ(read.Error, 0);
    ASSERT_EQ(read.Text.LineCount(), 3u);
    EXPECT_EQ(read.Text.Line(1), "O1\0X"s);
    EXPECT_EQ(read.Text.Line(2), "%");
    EXPECT_EQ(ReadProgramText(folder.File("none.nc")).Error, ENOENT);
}

} // namespace
} // namespace feedrail
