#include "app/widgets/ProgramEditor.h"
#include "app/widgets/Tpunch_d.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "support/widgets/PumpEvents.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::FakeMessages;
using test::PumpUntil;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// The window on a pseudo-terminal as com2, with the transfer log on; the
// test plays the machine at the other end.
class SendStopWindowTest : public ::testing::Test {
protected:
    void Start(const std::string& profile) {
        std::filesystem::create_symlink(pty_.SlavePath(), folder_.File("com2"));
        WriteFile(folder_.File("DNC.ini"), "[M]\nCommPort=2\nPunchWait=0\nLeader=0\n"
                                           "TransferLog=1\nDefaultDir=" +
                                               folder_.Path() + "/\n" + profile);
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
        window_->show();
        window_->DefaultDirectoryTimer1Timer();
        window_->CommOpenTimer1Timer();
    }

    // Requests a send and runs the port-open tick; under Xon/Xoff it returns
    // with the send waiting for the machine's XON.
    void Send(const std::string& program) {
        window_->Editor().SetText(program);
        window_->SendButtonClick();
        window_->CommOpenTimer1Timer();
    }

    void PressEsc(QWidget* target) {
        QApplication::postEvent(target,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    }

    QString Status() const { return window_->Controls().Label3->text(); }
    std::string Log() const { return ReadFile(folder_.File("feedrail-transfers.log")); }

    TempFolder folder_;
    test::PseudoTerminal pty_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

// Stop and Esc end a send that waits for the machine's XON as they end a
// running one: it says so, the log has it, and Feedrail stays open.
TEST_F(SendStopWindowTest, StopOrEscCancelsASendThatWaitsForTheMachine) {
    const struct {
        const char* name;
        std::function<void()> cancel;
    } cases[] = {
        {"Stop", [this] { window_->Controls().ClearButton->click(); }},
        {"Esc", [this] { PressEsc(window_->Controls().SendButton); }},
        {"Esc in the editor", [this] { PressEsc(window_->Controls().Memo1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window_.reset();
        std::filesystem::remove(folder_.File("com2"));
        std::filesystem::remove(folder_.File("feedrail-transfers.log"));
        Start("CommHandshake=0\n");
        Send("%\nG1\n%\n");
        ASSERT_EQ(window_->Session().Phase(), TransferPhase::WaitingForRemoteStart);
        pty_.ReadAll(100ms);
        c.cancel();
        EXPECT_TRUE(
            PumpUntil([&] { return window_->Session().Phase() == TransferPhase::Idle; }, 2s));
        EXPECT_EQ(Status(), "Send Cancelled");
        EXPECT_NE(Log().find("cancelled"), std::string::npos) << Log();
        EXPECT_TRUE(messages_.Questions.isEmpty()) << messages_.Questions.join("; ").toStdString();
        EXPECT_FALSE(window_->CloseTimer1().isActive()) << "Esc closed Feedrail";
        EXPECT_EQ(window_->Editor().Text(), "%\nG1\n%\n");
        pty_.Write("\x11");
        EXPECT_EQ(pty_.ReadAll(300ms), "") << "the machine's XON started the cancelled send";
    }
}

// The loop of a running send takes no clicks but Stop's: a Close button
// drawn enabled would ignore the operator.
// The editor is locked as well: the send reads each line as it comes to it.
TEST_F(SendStopWindowTest, CloseAndTheEditorAreLockedOnlyWhileASendRuns) {
    Start("CommHandshake=0\n");
    QPushButton& close = *window_->Controls().CloseButton;
    EXPECT_TRUE(close.isEnabled());
    Send("%\nG1\n%\n");
    // The machine's XON starts the send, its XOFF holds it.
    pty_.Write("\x11\x13");
    EXPECT_TRUE(
        PumpUntil([&] { return window_->Session().Phase() == TransferPhase::Sending; }, 5s));
    EXPECT_FALSE(close.isEnabled());
    EXPECT_TRUE(window_->Controls().Memo1->isReadOnly());
    window_->Controls().ClearButton->click();
    EXPECT_EQ(window_->Session().Phase(), TransferPhase::Idle);
    EXPECT_TRUE(close.isEnabled());
    EXPECT_FALSE(window_->Controls().Memo1->isReadOnly());
}

// The file under a send or a receive may be the one selected: Delete, by
// key or menu, is refused and says why.
TEST_F(SendStopWindowTest, DeleteIsRefusedWhileATransferRunsOrWaits) {
    const struct {
        const char* name;
        std::function<void(Tpunch_d&)> start;
        const char* why;
    } cases[] = {
        {"a send waits",
         [](Tpunch_d& w) {
             w.SendButtonClick();
             w.CommOpenTimer1Timer();
         },
         "Not while sending: press Esc or Stop first"},
        {"a receive waits", [](Tpunch_d& w) { w.ReceiveButtonClick(); },
         "Not while receiving: press Stop first"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window_.reset();
        std::filesystem::remove(folder_.File("com2"));
        WriteFile(folder_.File("O1000.nc"), "%\nO1000\n%\n");
        Start("CommHandshake=0\n");
        window_->Editor().SetText("%\nO1000\n%\n");
        c.start(*window_);
        messages_.Questions.clear();
        TLsFileListView26& files = *window_->Controls().LsFileListView261;
        files.Refresh();
        files.setCurrentItem(files.findItems("O1000.nc", Qt::MatchExactly).front());
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(&files, &del);
        files.ContextMenu().Delete->trigger();
        EXPECT_TRUE(std::filesystem::exists(folder_.File("O1000.nc")));
        EXPECT_TRUE(messages_.Questions.isEmpty()) << messages_.Questions.join("; ").toStdString();
        EXPECT_EQ(Status(), c.why);
        window_->ClearButtonClick();
    }
}

} // namespace
} // namespace feedrail
