#include "app/widgets/ProgramEditor.h"
#include "app/widgets/Tpunch_d.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "support/widgets/PumpEvents.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::TempFolder;
using test::WriteFile;

std::string Program(int blocks) {
    std::string program = "%\nO1000\n";
    for (int i = 0; i < blocks; ++i) {
        program += "N" + std::to_string(i + 1) + " G1 X" + std::to_string(i) + "\n";
    }
    return program + "%\n";
}

class RenumberWindowTest : public ::testing::Test {
protected:
    RenumberWindowTest() {
        std::filesystem::create_symlink(pty_.SlavePath(), folder_.File("com2"));
        WriteFile(folder_.File("DNC.ini"),
                  "[M]\nCommPort=2\nCommHandshake=1\nPunchType=1\nEOB=2\nPunchWait=0\nLeader=0\n");
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
        window_->show();
    }

    Tpunch_d& Window() { return *window_; }

    TempFolder folder_;
    test::PseudoTerminal pty_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

TEST_F(RenumberWindowTest, TheMenuRenumbersAndSendingPutsExactlyTheRenumberedLinesOnTheWire) {
    Window().Editor().SetText("%\nO1000\nN5 G0 X0 (START)\nG1 X1\n\n/M01\n%\n");
    Window().Controls().Renumber1->trigger();
    const std::string renumbered = "%\nO1000\nN10 G0 X0 (START)\nN20 G1 X1\n\n/N30 M01\n%\n";
    EXPECT_EQ(Window().Editor().Text(), renumbered);
    Window().SendButtonClick();
    Window().CommOpenTimer1Timer();
    const std::string tape = "%\nO1000\nN10 G0 X0 (START)\nN20 G1 X1\n\n/N30 M01\n%";
    std::string wire;
    test::PumpUntil(
        [&] {
            wire += pty_.ReadAll(std::chrono::milliseconds(1));
            return wire.size() >= tape.size();
        },
        std::chrono::seconds(5));
    wire += pty_.ReadAll(std::chrono::milliseconds(100));
    EXPECT_EQ(wire, tape);
}

TEST_F(RenumberWindowTest, OneUndoTakesBackAWholeRenumbering) {
    const std::string original = Program(500);
    Window().Editor().SetText(original);
    Window().Renumber1Click();
    ASSERT_NE(Window().Editor().Text(), original);
    Window().Controls().Memo1->undo();
    EXPECT_EQ(Window().Editor().Text(), original);
}

TEST_F(RenumberWindowTest, EscStopsARenumberingAfterTheCurrentLineAndOneUndoTakesItBack) {
    const int blocks = 300'000;
    const std::string original = Program(blocks);
    Window().Editor().SetText(original);
    QTimer::singleShot(20, window_.get(), [this] {
        QApplication::postEvent(window_.get(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    Window().Renumber1Click();
    // Lines 3 on are the blocks: a run of renumbered ones, then the old ones.
    int renumbered = 0;
    while (renumbered < blocks &&
           Window().Editor().GetEditorLine(renumbered + 3) ==
               "N" + std::to_string((renumbered + 1) * 10) + " G1 X" + std::to_string(renumbered)) {
        ++renumbered;
    }
    EXPECT_GT(renumbered, 0);
    EXPECT_LT(renumbered, blocks) << "Esc did not stop the renumbering";
    for (int i = renumbered; i < blocks; i += 997) {
        EXPECT_EQ(Window().Editor().GetEditorLine(i + 3),
                  "N" + std::to_string(i + 1) + " G1 X" + std::to_string(i));
    }
    EXPECT_TRUE(Window().State().CancelRequested);
    Window().Controls().Memo1->undo();
    EXPECT_EQ(Window().Editor().Text(), original);
}

} // namespace
} // namespace feedrail
