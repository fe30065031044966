#include "transfer/Automation.h"

#include "support/TempFolder.h"
#include "support/TransferFixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::ReadFile;
using test::WriteFile;

const std::string Request = "\x12%\nO1000\n%\n\x14";

// Unattended DNC on the session and the null-modem pair, the machine played
// by the test: it punches programs and asks for O1000.
class AutomationTest : public test::TransferFixture {
protected:
    AutomationTest() {
        WriteFile(folder_.File("O1000.nc"), "%\nO1000\nG1\n%\n");
        state_.ProgramDir = folder_.Path() + "/";
        settings_.DefaultDir = folder_.Path() + "/";
        comm_.OnRxChar = [this](TVaCustomComm&, int count) {
            automation_.Reading() ? automation_.Comm1RxChar(count) : receive_.Comm1RxChar(count);
        };
    }

    // The port open and idle, listening with the machine's options.
    void Listen(std::int32_t handshake, bool autoReceive, const std::string& receiveDir = {}) {
        AutomationSettings options;
        options.AutoReceive = autoReceive;
        options.ReceiveDir = receiveDir;
        options.RemoteRequest = true;
        options.TransferLog = true;
        automation_.Configure("Mill", options);
        OpenFor(handshake);
        host_.Session.PortOpened();
        host_.RunDeferred();
        ASSERT_TRUE(automation_.Listening());
    }

    void Punch(const std::string& tape) {
        MachineSends(tape);
        Deliver();
    }

    std::string Log() const { return ReadFile(folder_.File("feedrail-transfers.log")); }

    test::TempFolder folder_;
    int loads_ = 0;
    Automation automation_{state_, settings_, comm_, send_,
                           AutomationHosts{.Status = host_,
                                           .Ui = host_,
                                           .Session = host_.Session,
                                           .Editor = host_,
                                           .RefreshFiles = [] {},
                                           .LoadFile =
                                               [this](const std::string&) {
                                                   ++loads_;
                                                   host_.Lines = {"%", "O1000", "G1", "%"};
                                                   return true;
                                               }}};
};

// A renumbering, a printout or a dialog holds the answer back until it ends:
// the program under the work is never swapped.
TEST_F(AutomationTest, BusyWorkHoldsARequestBackUntilItEnds) {
    Listen(1, false);
    {
        const TransferSession::BusyScope busy(host_.Session);
        Punch(Request);
        host_.RunDeferred();
        EXPECT_EQ(loads_, 0) << "the request was answered during busy work";
        EXPECT_EQ(Wire(), "");
    }
    host_.RunDeferred();
    EXPECT_EQ(loads_, 1);
    EXPECT_EQ(Wire(), "%\r\nO1000\r\nG1\r\n%");
}

// Typed, renumbered or received: unsaved work in the editor is never replaced
// by a requested program.
TEST_F(AutomationTest, UnsavedWorkInTheEditorLeavesARequestUnanswered) {
    Listen(1, false);
    host_.Modified = true;
    Punch(Request);
    host_.RunDeferred();
    EXPECT_EQ(loads_, 0);
    EXPECT_EQ(Wire(), "");
    EXPECT_EQ(LastStatus(),
              "Request for O1000 not answered: the program in the editor is not saved");
    EXPECT_NE(Log().find("request\tO1000\t0 lines\t0 bytes\tnot answered"), std::string::npos)
        << Log();
    EXPECT_TRUE(automation_.Listening());
}

// Under Xon/Xoff the answer waits for the machine's XON; a new punch instead,
// or a minute without it, gives the answer up and every program is filed.
TEST_F(AutomationTest, AnAnswerWhoseXonNeverComesIsAbandoned) {
    const std::string folder = folder_.File("received");
    std::filesystem::create_directory(folder);
    for (const bool timeOut : {false, true}) {
        SCOPED_TRACE(timeOut ? "a minute without XON" : "the machine punches again");
        host_.Timed.clear();
        comm_.Close();
        comm_.Reconnect();
        Listen(0, true, folder + "/");
        Punch(Request);
        ASSERT_EQ(LastStatus(), "Waiting for Remote Start");
        if (timeOut) {
            ASSERT_EQ(host_.Timed.size(), 1U);
            EXPECT_EQ(host_.Timed[0].first, Automation::AnswerXonTimeout);
            host_.Timed[0].second();
        }
        Punch("\x12%\nO5555\nG1\n%\n\x14\x12%\nO5556\nG2\n%\n\x14");
        host_.RunDeferred();
        EXPECT_EQ(ReadFile(folder + "/O5555.nc"), "%\nO5555\nG1\n%\n");
        EXPECT_EQ(ReadFile(folder + "/O5556.nc"), "%\nO5556\nG2\n%\n");
        EXPECT_NE(Log().find("O1000\t0 lines\t0 bytes\tabandoned"), std::string::npos) << Log();
        EXPECT_TRUE(automation_.Listening());
        EXPECT_EQ(host_.Session.Phase(), TransferPhase::Idle) << "the answer never started";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        std::filesystem::remove(folder_.File("feedrail-transfers.log"));
    }
}

} // namespace
} // namespace feedrail
