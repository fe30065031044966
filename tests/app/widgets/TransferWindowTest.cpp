#include "app/widgets/EditorFind.h"
#include "app/widgets/ProgramEditor.h"
#include "app/widgets/Tpunch_d.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "profiles/widgets/TForm2.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "support/widgets/PumpEvents.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
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

    // Requests a send and runs the port-open tick, which starts the send.
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
    window_->Editor().AppendReceivedLine("O1000");
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

// Clear and Receive empty the editor: as Get and Close do, they ask before a
// received program never saved or typed changes are thrown away, and No
// leaves everything as it was.
TEST_F(TransferWindowTest, ClearAndReceiveAskBeforeUnsavedWorkIsThrownAway) {
    const struct {
        const char* button;
        void (Tpunch_d::*click)();
        bool received;
        bool answer;
        TransferPhase after;
    } cases[] = {
        {"Clear", &Tpunch_d::ClearButtonClick, true, false, TransferPhase::Starting},
        {"Clear", &Tpunch_d::ClearButtonClick, false, false, TransferPhase::Starting},
        {"Clear", &Tpunch_d::ClearButtonClick, true, true, TransferPhase::StopRequested},
        {"Clear", &Tpunch_d::ClearButtonClick, false, true, TransferPhase::StopRequested},
        {"Receive", &Tpunch_d::ReceiveButtonClick, true, false, TransferPhase::Starting},
        {"Receive", &Tpunch_d::ReceiveButtonClick, false, false, TransferPhase::Starting},
        {"Receive", &Tpunch_d::ReceiveButtonClick, true, true, TransferPhase::ReceiveRequested},
        {"Receive", &Tpunch_d::ReceiveButtonClick, false, true, TransferPhase::ReceiveRequested},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.button) + (c.received ? ", received" : ", edited") +
                     (c.answer ? ", yes" : ", no"));
        Start("CommPort=200\n");
        messages_.Questions.clear();
        messages_.ConfirmAnswer = c.answer;
        window_->Editor().SetText("%\nO1000\n%\n");
        if (c.received) {
            window_->State().ReceivedUnsaved = true;
        } else {
            window_->Controls().Memo1->insertAt(QStringLiteral("G1\n"), 2, 0);
        }
        const std::string before = window_->Editor().Text();
        (window_.get()->*c.click)();
        EXPECT_EQ(messages_.Questions,
                  QStringList{c.received ? "Discard the received program?"
                                         : "Discard the changes to the program in the editor?"});
        EXPECT_EQ(window_->Editor().Text(), c.answer ? "" : before);
        EXPECT_EQ(window_->Session().Phase(), c.after) << PhaseName(window_->Session().Phase());
    }
}

// Another machine in the middle of a receive would move the receive to its
// line and join two programs into one: the machine list and DNC Settings
// (whose New... selects a machine) are locked until the receive has ended.
TEST_F(TransferWindowTest, TheMachineListIsRefusedDuringAReceive) {
    StartOnPty("CommHandshake=1\n");
    window_->ReceiveButtonClick();
    window_->CommOpenTimer1Timer();
    pty_.Write("%\nG1\n");
    ASSERT_TRUE(PumpUntil([&] { return window_->Editor().Text() == "%\nG1\n"; }, 3s));
    QComboBox& machines = *window_->Controls().ComboBox1;
    EXPECT_FALSE(machines.isEnabled());
    EXPECT_FALSE(window_->Controls().Settings1->isEnabled());
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(&machines, &down);
    EXPECT_EQ(window_->CurrentMachine(), "M");
    EXPECT_EQ(window_->Session().Phase(), TransferPhase::Receiving);

    pty_.Write("G2\n%\n\x14");
    ASSERT_TRUE(PumpUntil([&] { return window_->Session().Phase() == TransferPhase::Idle; }, 3s));
    EXPECT_EQ(window_->Editor().Text().rfind("%\nG1\nG2\n%\n", 0), 0u) << window_->Editor().Text();
    EXPECT_EQ(window_->Controls().Label3->text(), "Finished Receiving");
    EXPECT_TRUE(machines.isEnabled());
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
    StartOnPty("CommHandshake=0\n");
    Send("%\nG1\n%\n");
    // The machine's XON starts the send, its XOFF holds it.
    pty_.Write("\x11\x13");
    ASSERT_TRUE(
        PumpUntil([&] { return window_->Session().Phase() == TransferPhase::Sending; }, 5s));
    window_->close();
    EXPECT_EQ(window_->Session().Phase(), TransferPhase::Closing)
        << "the send went on after the window was closed";
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
    EXPECT_EQ(box.text(), "a") << "a message box raised during a renumbering could not be answered";
}

// The commands a send shuts out, as an open menu or another window would
// run them; none may change the program or the line under the send.
void ExpectEveryCommandRefused(Tpunch_d& window, const std::string& program) {
    const auto& controls = window.Controls();
    for (const QObject* control : std::initializer_list<const QObject*>{
             controls.Renumber1, controls.Settings1, controls.PrintColumns1, controls.About1,
             controls.GetButton, controls.ComboBox1}) {
        EXPECT_FALSE(control->property("enabled").toBool()) << control->objectName().toStdString();
    }
    window.Renumber1Click();
    window.About1Click();
    window.PrintWindowButtonClick();
    window.GetButtonClick();
    EXPECT_EQ(window.Editor().Text(), program) << "a command ran during the send";
}

// The control's XON starts the send, its XOFF holds it: meanwhile no command
// but Stop may run, and Stop, clicked, cancels the send and drops what the
// port held.
TEST_F(TransferWindowTest, DuringASendOnlyStopRuns) {
    StartOnPty("CommHandshake=0\n");
    const std::string program = "%\nG1 X1\nG1 X2\n%\n";
    Send(program);
    ASSERT_EQ(window_->Session().Phase(), TransferPhase::WaitingForRemoteStart);
    ExpectEveryCommandRefused(*window_, program);
    EXPECT_EQ(pty_.ReadAll(100ms), "\x11\x11");

    bool held = false;
    pty_.Write("\x11\x13");
    QTimer::singleShot(300, window_.get(), [&] {
        held = window_->Session().Phase() == TransferPhase::Sending;
        ExpectEveryCommandRefused(*window_, program);
        QPushButton* stop = window_->Controls().ClearButton;
        EXPECT_TRUE(stop->isEnabled());
        EXPECT_EQ(stop->text(), "Stop");
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QApplication::postEvent(stop, new QMouseEvent(type, QPointF(5, 5), QPointF(5, 5),
                                                          Qt::LeftButton, Qt::LeftButton,
                                                          Qt::NoModifier));
        }
    });
    EXPECT_TRUE(PumpUntil([&] { return window_->Session().Phase() == TransferPhase::Idle; }, 5s));
    EXPECT_TRUE(held);
    EXPECT_EQ(window_->Controls().Label3->text(), "Send Cancelled");
    pty_.Write("\x11");
    EXPECT_EQ(pty_.ReadAll(300ms), "") << "bytes went out after the cancel";
}

// One long line: the bar and the title follow its bytes, not the lines.
TEST_F(TransferWindowTest, TheProgressBarAndTitleFollowTheBytesOfASend) {
    StartOnPty("CommHandshake=0\nCommBaudRate=9600\n");
    const QString caption = window_->windowTitle();
    Send("%\nG1 X" + std::string(4000, '1') + "\n%\n");
    pty_.Write("\x11");
    const QProgressBar& bar = *window_->Controls().ProgressBar1;
    ASSERT_TRUE(PumpUntil([&] { return bar.isVisible() && bar.value() >= 5; }, 3s));
    EXPECT_LT(bar.value(), 50) << "a second of 9600 baud is a quarter of the program";
    EXPECT_TRUE(window_->windowTitle().startsWith(QStringLiteral("%1 % - ").arg(bar.value())))
        << window_->windowTitle().toStdString();
    EXPECT_TRUE(window_->Controls().StaticText1->text().startsWith("Sent 2 of 3 lines, "))
        << window_->Controls().StaticText1->text().toStdString();
    EXPECT_TRUE(window_->Controls().StaticText1->text().contains(" of 4012 bytes, "))
        << window_->Controls().StaticText1->text().toStdString();
    // Esc stops the send also from the Find dialog.
    window_->Find().Open();
    QTest::keyClick(&window_->Find(), Qt::Key_Escape);
    ASSERT_TRUE(PumpUntil([&] { return window_->Session().Phase() == TransferPhase::Idle; }, 3s));
    EXPECT_EQ(window_->Controls().Label3->text(), "Send Cancelled");
    EXPECT_FALSE(window_->Find().isVisible());
    EXPECT_FALSE(bar.isVisible());
    EXPECT_EQ(window_->windowTitle(), caption);
}

TEST_F(TransferWindowTest, GetIsRefusedWhileAReceiveRunsOrWaits) {
    WriteFile(folder_.File("O1000.nc"), "%\nO1000\n%\n");
    TLsFileListView26& files = *window_->Controls().LsFileListView261;
    files.SetDirectory(QString::fromStdString(folder_.Path()));
    files.setCurrentItem(files.findItems("O1000.nc", Qt::MatchExactly).front());
    window_->ReceiveButtonClick();
    window_->Editor().AppendReceivedLine("O2000");
    window_->GetButtonClick();
    EXPECT_EQ(window_->Editor().Text(), "O2000\n");
    EXPECT_EQ(window_->Controls().Edit7->text(), "");
    EXPECT_EQ(window_->Controls().Label3->text(), "Not while receiving: press Stop first");
    EXPECT_FALSE(window_->Controls().GetButton->isEnabled());
}

// Esc still closes the window, but asks first while a transfer waits; No
// leaves everything as it was.
TEST_F(TransferWindowTest, EscDuringAReceiveAsksBeforeClosing) {
    window_->show();
    window_->ReceiveButtonClick();
    messages_.ConfirmAnswer = false;
    PostKey(window_->Controls().SendButton, Qt::Key_Escape);
    PumpUntil([&] { return !messages_.Questions.isEmpty(); }, 2s);
    EXPECT_EQ(messages_.Questions.size(), 1);
    EXPECT_FALSE(window_->CloseTimer1().isActive());
    EXPECT_EQ(window_->Session().Phase(), TransferPhase::ReceiveRequested);

    messages_.ConfirmAnswer = true;
    PostKey(window_->Controls().SendButton, Qt::Key_Escape);
    EXPECT_TRUE(PumpUntil([&] { return window_->CloseTimer1().isActive(); }, 2s));
    EXPECT_EQ(window_->Session().Phase(), TransferPhase::Closing);
}

// A request that comes in the middle of a renumbering never swaps the program
// under it: the renumbered program is unsaved work, so nothing is sent.
TEST_F(TransferWindowTest, ARequestDuringARenumberingLeavesItsProgramAlone) {
    WriteFile(folder_.File("O1000.nc"), "%\nO1000\nG1\n%\n");
    StartOnPty("CommHandshake=1\nRemoteRequest=1\nTransferLog=1\nDefaultDir=" + folder_.Path() +
               "/\n");
    ASSERT_TRUE(PumpUntil([&] { return window_->Unattended().Listening(); }, 5s));
    pty_.ReadAll(100ms);
    std::string program = "%\n";
    for (int i = 0; i < 50000; ++i) {
        program += "G1 X" + std::to_string(i) + "\n";
    }
    window_->Editor().SetText(program + "%\n");
    bool requested = false;
    QTimer::singleShot(20, window_.get(), [&] {
        requested = true;
        pty_.Write("\x12%\nO1000\n%\n\x14");
    });
    window_->Renumber1Click();
    EXPECT_TRUE(requested) << "the renumbering ended before the request came";
    test::PumpFor(500);
    EXPECT_EQ(window_->Editor().GetEditorLine(2), "N10 G1 X0");
    EXPECT_EQ(window_->Editor().GetEditorLine(50001), "N500000 G1 X49999");
    EXPECT_EQ(pty_.ReadAll(200ms), "") << "the request was answered";
    EXPECT_NE(test::ReadFile(folder_.File("feedrail-transfers.log")).find("not answered"),
              std::string::npos);
}

// The machine's end of the line goes (a USB adapter pulled, the control
// switched off) in the middle of a receive: what came stays in the editor,
// the line begun included, and the window is idle again.
TEST_F(TransferWindowTest, AReceiveWhoseLineGoesKeepsWhatCame) {
    StartOnPty("CommHandshake=1\n");
    window_->ReceiveButtonClick();
    window_->CommOpenTimer1Timer();
    pty_.Write("%\nG1\nG2");
    ASSERT_TRUE(PumpUntil([&] { return window_->Editor().Text() == "%\nG1\n"; }, 3s));
    pty_.HangUp();
    ASSERT_TRUE(PumpUntil([&] { return window_->Session().Phase() == TransferPhase::Idle; }, 3s));
    EXPECT_EQ(window_->Editor().Text(), "%\nG1\nG2\n");
    EXPECT_EQ(window_->Controls().Label3->text().toStdString(),
              "The port " + pty_.SlavePath() + " (COM2) is gone: unplugged or switched off?");
    EXPECT_TRUE(window_->Controls().SendButton->isEnabled());
    EXPECT_TRUE(window_->Controls().SaveButton->isEnabled());
    EXPECT_EQ(window_->Controls().ClearButton->text(), "Clear");
    EXPECT_TRUE(messages_.Messages.isEmpty()) << messages_.Messages.join("; ").toStdString();
    EXPECT_FALSE(window_->Comm1().Active());
}

// With Auto Receive on, the port is tried again until the device is back,
// and the log records the loss and the return.
TEST_F(TransferWindowTest, AutoReceiveReopensAPortThatCameBack) {
    StartOnPty("CommHandshake=1\nAutoReceive=1\nTransferLog=1\n");
    ASSERT_TRUE(PumpUntil([&] { return window_->Unattended().Listening(); }, 5s));
    pty_.HangUp();
    ASSERT_TRUE(PumpUntil([&] { return !window_->Comm1().Active(); }, 3s));
    test::PumpFor(2500);
    EXPECT_FALSE(window_->Comm1().Active()) << "a port without its device opened";
    test::PseudoTerminal back;
    std::filesystem::remove(folder_.File("com2"));
    std::filesystem::create_symlink(back.SlavePath(), folder_.File("com2"));
    // The second try comes 4 seconds after the first.
    ASSERT_TRUE(PumpUntil([&] { return window_->Unattended().Listening(); }, 10s));
    back.Write("\x12%\nO77\nG1\n%\n\x14");
    EXPECT_TRUE(PumpUntil([&] { return std::filesystem::exists(folder_.File("O77.nc")); }, 3s));
    const std::string log = test::ReadFile(folder_.File("feedrail-transfers.log"));
    EXPECT_NE(log.find("\tline\t" + folder_.File("com2") + "\t0 lines\t0 bytes\tlost\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\tback\n"), std::string::npos) << log;
}

// The line goes in the middle of a send: the window returns to idle with the
// program still in the editor, under every handshake.
TEST_F(TransferWindowTest, ASendWhoseLineGoesReturnsToIdle) {
    StartOnPty("CommHandshake=0\n");
    std::string program;
    for (int i = 0; i < 20000; ++i) {
        program += "G1 X" + std::to_string(i) + "\n";
    }
    window_->Editor().SetText(program);
    window_->SendButtonClick();
    window_->CommOpenTimer1Timer();
    QTimer::singleShot(100, window_.get(), [&] { pty_.HangUp(); });
    pty_.Write("\x11");
    ASSERT_TRUE(PumpUntil([&] { return window_->Session().Phase() == TransferPhase::Idle; }, 10s));
    EXPECT_EQ(window_->Editor().Text(), program);
    EXPECT_TRUE(window_->Controls().SendButton->isEnabled());
    EXPECT_EQ(window_->Controls().ClearButton->text(), "Clear");
    // The loss is what the operator reads, not a write to the closed port.
    EXPECT_EQ(window_->Controls().Label3->text().toStdString(),
              "The port " + pty_.SlavePath() + " (COM2) is gone: unplugged or switched off?");
    EXPECT_TRUE(messages_.Messages.isEmpty()) << messages_.Messages.join("; ").toStdString();
}

// A com link left pointing at a device that is gone says where it points.
TEST_F(TransferWindowTest, AComLinkToNothingSaysWhereItPoints) {
    std::filesystem::create_symlink("/dev/pts/gone", folder_.File("com2"));
    Start("CommPort=2\n");
    window_->CommOpenTimer1Timer();
    EXPECT_EQ(window_->Controls().Label3->text().toStdString(),
              "COM2: the link " + folder_.File("com2") +
                  " points to /dev/pts/gone, which is not there");
}

// With Auto Receive on, a port whose device is not there when the machine
// is chosen is tried again until it opens, as one that went is; no line was
// lost, so none comes back in the log.
TEST_F(TransferWindowTest, AutoReceiveOpensAPortMissingAtTheStartOnceItIsThere) {
    std::filesystem::create_symlink("/dev/pts/gone", folder_.File("com2"));
    Start("CommPort=2\nAutoReceive=1\nTransferLog=1\n");
    const std::string trying = "COM2: the link " + folder_.File("com2") +
                               " points to /dev/pts/gone, which is not there. Trying again "
                               "until it opens.";
    EXPECT_TRUE(
        PumpUntil([&] { return window_->Controls().Label3->text().toStdString() == trying; }, 5s))
        << window_->Controls().Label3->text().toStdString();
    std::filesystem::remove(folder_.File("com2"));
    std::filesystem::create_symlink(pty_.SlavePath(), folder_.File("com2"));
    ASSERT_TRUE(PumpUntil([&] { return window_->Unattended().Listening(); }, 5s));
    EXPECT_NE(window_->Controls().Label3->text().toStdString().find("Ready"), std::string::npos)
        << window_->Controls().Label3->text().toStdString();
    pty_.Write("\x12%\nO77\nG1\n%\n\x14");
    EXPECT_TRUE(PumpUntil([&] { return std::filesystem::exists(folder_.File("O77.nc")); }, 3s));
    const std::string log = test::ReadFile(folder_.File("feedrail-transfers.log"));
    EXPECT_EQ(log.find("\tline\t"), std::string::npos) << log;
}

// A send or receive asked for while the port cannot open does not start on
// the closed port: the open's error stays in the status line and the window
// is idle again, with no write error.
TEST_F(TransferWindowTest, ATransferWhosePortCannotOpenEndsBeforeItStarts) {
    for (const bool send : {true, false}) {
        Start("CommPort=2\nCommDevice=" + folder_.File("missing") + "\nCommHandshake=1\n");
        window_->Editor().SetText("%\nO1000\n%\n");
        if (send) {
            window_->SendButtonClick();
        } else {
            window_->ReceiveButtonClick();
        }
        window_->CommOpenTimer1Timer();
        EXPECT_EQ(window_->Controls().Label3->text().toStdString(),
                  "Can't open device " + folder_.File("missing") + ": No such file or directory");
        EXPECT_EQ(window_->Session().Phase(), TransferPhase::Idle) << send;
        EXPECT_TRUE(messages_.Errors.isEmpty()) << send;
    }
}

} // namespace
} // namespace feedrail
