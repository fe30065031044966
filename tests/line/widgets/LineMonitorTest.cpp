#include "line/widgets/LineMonitor.h"

#include "app/widgets/Tpunch_d.h"
#include "app/widgets/WindowPlace.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "support/widgets/PumpEvents.h"

#include <QAction>
#include <QDockWidget>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;

// The window's monitor on a real line: its com2 is a pseudo-terminal whose
// other end the test plays as the machine.
class LineMonitorTest : public ::testing::Test {
protected:
    LineMonitorTest() {
        std::filesystem::create_symlink(pty_.SlavePath(), folder_.File("com2"));
        test::WriteFile(folder_.File("DNC.ini"),
                        "[M]\nCommPort=2\nPunchWait=0\nLeader=0\nCommHandshake=0\n");
        window_ = NewWindow();
        window_->show();
        EXPECT_TRUE(PumpUntil([&] { return window_->Comm1().Active(); }, 5s));
    }

    // What the machine reads, the window's events running meanwhile.
    std::string MachineReads(std::size_t count) {
        std::string read;
        PumpUntil(
            [&] {
                read += pty_.ReadAll(0ms);
                return read.size() >= count;
            },
            2s);
        return read;
    }

    std::unique_ptr<Tpunch_d> NewWindow() {
        return std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    }

    QAction& ShowMonitor() { return *window_->findChild<QAction*>("LineMonitor1"); }

    // The bytes the monitor shows one way, its lines joined, times and
    // arrows left out.
    std::string Shown(bool sent) const {
        std::string joined;
        const QString arrow = sent ? QStringLiteral(" → ") : QStringLiteral(" ← ");
        for (const QString& line : window_->Monitor().ShownText().split('\n')) {
            if (const auto at = line.indexOf(arrow); at >= 0) {
                joined += line.mid(at + arrow.size()).toStdString();
            }
        }
        return joined;
    }

    test::TempFolder folder_;
    test::PseudoTerminal pty_;
    test::FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

// A send under Xon/Xoff as the operator watches it: Feedrail's two XON,
// the machine's XON and XOFF, and the program, each way by name; saved,
// the file holds what was shown.
TEST_F(LineMonitorTest, ASendShowsEveryByteEachWayByName) {
    ShowMonitor().trigger();
    ASSERT_TRUE(window_->MonitorDock().isVisible());
    window_->Editor().SetText("%\nG1 X1\n%\n");
    window_->SendButtonClick();
    window_->CommOpenTimer1Timer();
    ASSERT_EQ(MachineReads(2), "\x11\x11");
    pty_.Write("\x11");
    ASSERT_EQ(MachineReads(12), "%\r\nG1 X1\r\n%");
    pty_.Write("\x13\x11");
    ASSERT_TRUE(PumpUntil([&] { return Shown(false) == "<XON><XOFF><XON>"; }, 2s))
        << window_->Monitor().ShownText().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return Shown(true) == "<XON><XON>%<CR><LF>G1 X1<CR><LF>%"; }, 2s))
        << window_->Monitor().ShownText().toStdString();

    messages_.SaveAnswer = QString::fromStdString(folder_.File("line.txt"));
    window_->Monitor().findChild<QPushButton*>("LineMonitorSave")->click();
    EXPECT_EQ(test::ReadFile(folder_.File("line.txt")),
              window_->Monitor().ShownText().toStdString() + "\n");
}

// Hidden, the monitor costs the line nothing and keeps nothing; its being
// shown is remembered from one run to the next.
TEST_F(LineMonitorTest, HiddenItKeepsNothingAndShownItIsRemembered) {
    pty_.Write("G1\n");
    test::PumpFor(200);
    std::uint64_t dropped = 0;
    EXPECT_TRUE(window_->Comm1().TakeLineTraffic(dropped).empty());

    ShowMonitor().trigger();
    pty_.Write("G2\n");
    ASSERT_TRUE(PumpUntil([&] { return Shown(false) == "G2<LF>"; }, 2s))
        << window_->Monitor().ShownText().toStdString();
    window_->close();
    window_ = NewWindow();
    EXPECT_FALSE(ShowMonitor().isChecked());
    window_->RestorePlace();
    window_->show();
    EXPECT_TRUE(ShowMonitor().isChecked());
    ASSERT_TRUE(PumpUntil([&] { return window_->Comm1().Active(); }, 5s));
    pty_.Write("G3\n");
    EXPECT_TRUE(PumpUntil([&] { return Shown(false) == "G3<LF>"; }, 2s))
        << "the monitor shown again watches the line again";
}

} // namespace
} // namespace feedrail
