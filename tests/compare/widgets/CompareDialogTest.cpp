#include "compare/widgets/CompareDialog.h"

#include "common/widgets/ReadableColours.h"
#include "support/TempFolder.h"
#include "support/widgets/PumpEvents.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>
#include <set>

namespace feedrail {
namespace {

const std::string Stored = "%\n"
                           "O1234 (SHAFT)\n"
                           "N10 G0 X0 Y0\n"
                           "N20 G1 X10. F200\n"
                           "N30 G1 Y10.\n"
                           "N40 M30\n"
                           "%\n";
// Renumbered, a blank and a comment changed, one move changed, one added.
const std::string Received = "%\r\n"
                             "O1234 (SHAFT REV B)\r\n"
                             "N100 G0 X0  Y0\r\n"
                             "N110 G1 X12. F200\r\n"
                             "N120 G1 Y10.\r\n"
                             "N125 G4 P1\r\n"
                             "N130 M30\r\n"
                             "%\r\n";

class CompareDialogTest : public ::testing::Test {
protected:
    CompareDialogTest() {
        QObject::connect(&dialog_, &CompareDialog::Compared, [this] { ++compared_; });
        dialog_.show();
        WaitForComparison();
    }

    void WaitForComparison() {
        const int before = done_;
        EXPECT_TRUE(test::PumpUntil([&] { return compared_ > before; }, 10000));
        done_ = compared_;
    }

    // Each row's mark, read from the grounds the panes paint: = same,
    // ~ changed, + added, - removed.
    std::string PaintedMarks() const {
        const CompareColours colours = CompareColours::For(dialog_.palette());
        std::string marks;
        const QAbstractItemModel& left = *dialog_.LeftPane().model();
        const QAbstractItemModel& right = *dialog_.RightPane().model();
        for (int row = 0; row < left.rowCount(); ++row) {
            const QVariant l = left.index(row, CompareModel::TextColumn).data(Qt::BackgroundRole);
            const QVariant r = right.index(row, CompareModel::TextColumn).data(Qt::BackgroundRole);
            if (!l.isValid() && !r.isValid()) {
                marks += '=';
            } else if (l == colours.Changed && r == colours.Changed) {
                marks += '~';
            } else if (l == colours.Missing && r == colours.Added) {
                marks += '+';
            } else if (l == colours.Removed && r == colours.Missing) {
                marks += '-';
            } else {
                marks += '?';
            }
        }
        return marks;
    }

    // The window starts reading as it is made: the programs are there first.
    bool WritePrograms() const {
        test::WriteFile(folder_.File("O1234.nc"), Stored);
        test::WriteFile(folder_.File("O1234-2.nc"), Received);
        return true;
    }

    test::TempFolder folder_;
    bool written_ = WritePrograms();
    CompareDialog dialog_{{"O1234.nc", folder_.File("O1234.nc"), std::nullopt},
                          {"O1234-2.nc", folder_.File("O1234-2.nc"), std::nullopt},
                          nullptr};
    int compared_ = 0;
    int done_ = 0;
};

TEST_F(CompareDialogTest, EachOptionComparesAgainAndMarksTheRowsThatDiffer) {
    const struct {
        bool blanks, numbers, comments;
        const char* marks;
        const char* summary;
    } cases[] = {
        {false, false, false, "=~~~~~+=", "6 lines differ"},
        {false, true, false, "=~~~=+==", "4 lines differ"},
        {true, true, false, "=~=~=+==", "3 lines differ"},
        {true, true, true, "===~=+==", "2 lines differ"},
        {false, false, true, "==~~~~+=", "5 lines differ"},
    };
    for (const auto& c : cases) {
        const bool changes = dialog_.IgnoreWhiteSpace().isChecked() != c.blanks ||
                             dialog_.IgnoreSequenceNumbers().isChecked() != c.numbers ||
                             dialog_.IgnoreComments().isChecked() != c.comments;
        dialog_.IgnoreWhiteSpace().setChecked(c.blanks);
        dialog_.IgnoreSequenceNumbers().setChecked(c.numbers);
        dialog_.IgnoreComments().setChecked(c.comments);
        if (changes) {
            WaitForComparison();
        }
        EXPECT_EQ(PaintedMarks(), c.marks) << c.marks;
        EXPECT_EQ(dialog_.Summary().toStdString(), c.summary);
    }
    // The lines shown stay as they are, comments, blanks and CR aside.
    EXPECT_EQ(dialog_.LeftPane().model()->index(1, CompareModel::TextColumn).data(),
              QStringLiteral("O1234 (SHAFT)"));
    EXPECT_EQ(dialog_.RightPane().model()->index(2, CompareModel::TextColumn).data(),
              QStringLiteral("N100 G0 X0  Y0"));
    EXPECT_EQ(dialog_.RightPane().model()->index(6, CompareModel::NumberColumn).data(),
              QStringLiteral("7"));
    EXPECT_FALSE(dialog_.LeftPane().model()->index(6, CompareModel::NumberColumn).data().isValid());
}

TEST_F(CompareDialogTest, NextAndPreviousDifferenceLandOnEachStretchInTurn) {
    dialog_.IgnoreWhiteSpace().setChecked(true);
    dialog_.IgnoreSequenceNumbers().setChecked(true);
    WaitForComparison();
    ASSERT_EQ(PaintedMarks(), "=~=~=+==");
    const struct {
        QPushButton& button;
        int row;
        bool previous, next;
    } steps[] = {
        {dialog_.NextDifference(), 1, false, true},
        {dialog_.NextDifference(), 3, true, true},
        {dialog_.NextDifference(), 5, true, false},
        {dialog_.PreviousDifference(), 3, true, true},
        {dialog_.PreviousDifference(), 1, false, true},
    };
    for (const auto& step : steps) {
        step.button.click();
        EXPECT_EQ(dialog_.LeftPane().currentIndex().row(), step.row);
        EXPECT_EQ(dialog_.RightPane().currentIndex().row(), step.row);
        EXPECT_EQ(dialog_.PreviousDifference().isEnabled(), step.previous) << step.row;
        EXPECT_EQ(dialog_.NextDifference().isEnabled(), step.next) << step.row;
    }
    // A row chosen in one pane is the row of the other, and the differences
    // count from there.
    dialog_.RightPane().setCurrentIndex(dialog_.RightPane().model()->index(4, 1));
    EXPECT_EQ(dialog_.LeftPane().currentIndex().row(), 4);
    dialog_.NextDifference().click();
    EXPECT_EQ(dialog_.LeftPane().currentIndex().row(), 5);
}

TEST_F(CompareDialogTest, EveryAltLetterOfTheWindowIsItsOwn) {
    std::set<QChar> letters;
    for (const QAbstractButton* button : dialog_.findChildren<QAbstractButton*>()) {
        // The panes' corner buttons have no text.
        if (button->text().isEmpty()) {
            continue;
        }
        const qsizetype at = button->text().indexOf(QLatin1Char('&'));
        ASSERT_GE(at, 0) << button->text().toStdString() << " has no Alt letter";
        EXPECT_TRUE(letters.insert(button->text().at(at + 1).toLower()).second)
            << button->text().toStdString();
    }
    EXPECT_EQ(letters.size(), 6u);
}

TEST(CompareColoursTest, MarksReadAndStandApartInLightAndDarkThemes) {
    const struct {
        const char* theme;
        QColor base, text;
    } themes[] = {
        {"light", Qt::white, Qt::black},
        {"dark", QColor(0x23, 0x26, 0x29), QColor(0xfc, 0xfc, 0xfc)},
    };
    for (const auto& theme : themes) {
        QPalette palette;
        palette.setColor(QPalette::Base, theme.base);
        palette.setColor(QPalette::Text, theme.text);
        const CompareColours colours = CompareColours::For(palette);
        const QColor grounds[] = {theme.base, colours.Changed, colours.Added, colours.Removed,
                                  colours.Missing};
        for (const QColor& ground : grounds) {
            EXPECT_GE(ContrastRatio(theme.text, ground), 4.5)
                << theme.theme << " " << ground.name().toStdString();
        }
        std::set<QRgb> distinct;
        for (const QColor& ground : grounds) {
            distinct.insert(ground.rgb());
        }
        EXPECT_EQ(distinct.size(), std::size(grounds)) << theme.theme;
    }
}

TEST(CompareDialogReadTest, AFileThatCannotBeReadSaysSo) {
    test::TempFolder folder;
    test::WriteFile(folder.File("O1.nc"), "%\nO1\n%\n");
    CompareDialog dialog({"O1.nc", folder.File("O1.nc"), std::nullopt},
                         {"O2.nc", folder.File("O2.nc"), std::nullopt}, nullptr);
    ASSERT_TRUE(test::PumpUntil([&] { return dialog.Summary().startsWith("Cannot read"); }, 10000))
        << dialog.Summary().toStdString();
    EXPECT_EQ(dialog.Summary(), QStringLiteral("Cannot read O2.nc: No such file or directory"));
    EXPECT_FALSE(dialog.NextDifference().isEnabled());
}

} // namespace
} // namespace feedrail
