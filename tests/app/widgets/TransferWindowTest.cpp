#include "app/widgets/Tpunch_d.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::TempFolder;
using test::WriteFile;

class TransferWindowTest : public ::testing::Test {
protected:
    TransferWindowTest() {
        WriteFile(folder_.File("DNC.ini"), "[M]\nCommPort=200\n");
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    }

    TempFolder folder_;
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

} // namespace
} // namespace feedrail
