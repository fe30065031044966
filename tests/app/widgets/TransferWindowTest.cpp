#include "app/widgets/Tpunch_d.h"
#include "profiles/widgets/TForm2.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::TempFolder;
using test::WriteFile;

class TransferWindowTest : public ::testing::Test {
protected:
    TransferWindowTest() { Start("CommPort=200\n"); }

    void Start(const std::string& profile) {
        window_.reset();
        WriteFile(folder_.File("DNC.ini"), "[M]\n" + profile + "[N]\n");
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    }

    // A window whose com2 is a pseudo-terminal; the test reads the other end.
    void StartOnPty(const std::string& profile) {
        std::filesystem::create_symlink(pty_.SlavePath(), folder_.File("com2"));
        Start("CommPort=2\nPunchWait=0\nLeader=0\n" + profile);
        window_->show();
    }

    // Requests a send and runs the port-open tick, which runs the send loop.
    void Send(const std::string& program) {
        window_->Editor().SetText(program);
        window_->SendButtonClick();
        window_->CommOpenTimer1Timer();
    }

    void PostKey(QObject* target, Qt::Key key, const QString& text = {}) {
        QApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    }

    TempFolder folder_;
    test::PseudoTerminal pty_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

TEST_F(TransferWindowTest, SendAndReceiveRequestsLockTheButtonsUntilStop) {
    for (const auto request : {&Tpunch_d::SendButtonClick, &Tpunch_d::ReceiveButtonClick}) {
        (window_.get()->*request)();
        EXPECT_FALSE(window_->Controls().SendButton->isEnabled());
        EXPECT_EQ(window_->Controls().ClearButton->text(), "Stop");
        EXPECT_TRUE(window_->CommOpenTimer1().isActive());
        window_->ClearButtonClick();
        EXPECT_TRUE(window_->Controls().SendButton->isEnabled());
        EXPECT_EQ(window_->Controls().ClearButton->text(), "Clear");
        window_->CommOpenTimer1().stop();
        window_->State().SendPending = false;
        window_->State().ReceivePending = false;
    }
}

TEST_F(TransferWindowTest, StopEndsAWaitForTheMachinesXon) {
    window_->State().WaitingForRemoteStart = true;
    window_->ClearButtonClick();
    EXPECT_FALSE(window_->State().WaitingForRemoteStart);
}

TEST_F(TransferWindowTest, ClosingAsksBeforeAnUnsavedReceivedProgramIsLost) {
    window_->State().ReceivedLines = 1;
    window_->AppendReceivedLine("O1000");
    window_->State().ReceivedUnsaved = true;
    messages_.ConfirmAnswer = false;
    window_->CloseButtonClick();
    EXPECT_EQ(messages_.Questions, QStringList{"Discard the received program?"});
    EXPECT_FALSE(window_->CloseTimer1().isActive());
    EXPECT_EQ(window_->Editor().Text(), "O1000\n");

    messages_.ConfirmAnswer = true;
    window_->CloseButtonClick();
    EXPECT_TRUE(window_->CloseTimer1().isActive());
    EXPECT_EQ(window_->Controls().Label3->text(), "Closing Feedrail");
}

TEST_F(TransferWindowTest, TheKeyPollSwallowsKeysButRemembersEsc) {
    window_->show();
    QApplication::postEvent(window_.get(),
                            new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    EXPECT_FALSE(window_->EscapePressed());
    QApplication::postEvent(window_.get(),
                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    EXPECT_TRUE(window_->EscapePressed());
    EXPECT_FALSE(window_->EscapePressed());
    EXPECT_FALSE(window_->CloseTimer1().isActive()) << "Esc during a send closed the window";
}

TEST_F(TransferWindowTest, AnEscLeftOverFromTheLastPauseDoesNotCancelTheNextSend) {
    StartOnPty("CommHandshake=1\n");
    PostKey(window_.get(), Qt::Key_Escape);
    window_->Idle(std::chrono::milliseconds(0));
    Send("%\nG1\n%\n");
    EXPECT_EQ(pty_.ReadAll(std::chrono::milliseconds(200)), "%\r\nG1\r\n%");
}

TEST_F(TransferWindowTest, ClosingTheWindowDuringASendCancelsItAndClosesInOrder) {
    // RTS/CTS with CTS off, as a pseudo-terminal reads it: the send waits.
    StartOnPty("CommHandshake=4\n");
    bool stillSending = false;
    QTimer::singleShot(100, window_.get(), [&] { window_->close(); });
    QTimer::singleShot(3000, window_.get(), [&] {
        stillSending = true;
        window_->State().CancelRequested = true;
    });
    Send("%\nG1\n%\n");
    EXPECT_FALSE(stillSending) << "the send went on after the window was closed";
    EXPECT_TRUE(window_->State().Closing);
    EXPECT_TRUE(window_->CloseTimer1().isActive());
    window_->CloseTimer1Timer();
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(TransferWindowTest, AnotherWindowKeepsItsKeysWhileTheKeyPollRuns) {
    window_->show();
    QLineEdit box;
    box.show();
    PostKey(&box, Qt::Key_A, QStringLiteral("a"));
    PostKey(window_.get(), Qt::Key_Escape);
    EXPECT_TRUE(window_->EscapePressed());
    EXPECT_EQ(box.text(), "a") << "a message box raised during a send could not be answered";
}

TEST_F(TransferWindowTest, EveryWayBackToIdleEndsAWaitForTheMachinesXon) {
    const struct {
        const char* name;
        std::function<void()> end;
    } cases[] = {
        {"the settings dialog closes", [this] { window_->Form2().reject(); }},
        {"another machine is chosen",
         [this] {
             window_->Controls().ComboBox1->setCurrentIndex(1);
             window_->ComboBox1Change();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window_->State().WaitingForRemoteStart = true;
        c.end();
        EXPECT_FALSE(window_->State().WaitingForRemoteStart);
    }
}

} // namespace
} // namespace feedrail
