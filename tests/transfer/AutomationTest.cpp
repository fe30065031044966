#include "transfer/Automation.h"

#include "support/TempFolder.h"
#include "support/TransferFixture.h"
#include "transfer/TapeCode.h"

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
    bool readable_ = true;
    std::vector<std::string> errors_;
    Automation automation_{
        state_, settings_, comm_, send_,
        AutomationHosts{.Status = host_,
                        .Ui = host_,
                        .Session = host_.Session,
                        .Editor = &host_,
                        .ShowFiledProgram = [](const std::string&, const std::string&) {},
                        .LoadFile =
                            [this](const std::string&) {
                                ++loads_;
                                host_.Lines = {"%", "O1000", "G1", "%"};
                                return readable_;
                            },
                        .ShowError = [this](const std::string& text) { errors_.push_back(text); },
                        .FindProgram = {}}};
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

// A control that punches the moment it has its answer is heard from the
// first byte, even before listening has been taken up again.
TEST_F(AutomationTest, APunchRightAfterAnAnswerIsFiledWhole) {
    const std::string folder = folder_.File("received");
    std::filesystem::create_directory(folder);
    Listen(1, true, folder + "/");
    Punch(Request);
    ASSERT_EQ(host_.Deferred.size(), 1u);
    const auto answer = std::move(host_.Deferred.front());
    host_.Deferred.pop_front();
    answer();
    ASSERT_EQ(Wire(), "%\r\nO1000\r\nG1\r\n%");
    ASSERT_FALSE(host_.Deferred.empty()) << "listening is taken up once the send has returned";
    Punch("\x12%\nO7\nG1\n%\n\x14");
    host_.RunDeferred();
    EXPECT_EQ(ReadFile(folder + "/O7.nc"), "%\nO7\nG1\n%\n");
    EXPECT_TRUE(automation_.Listening());
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

// A requested program that cannot be read is logged as failed, not left at
// "sending".
TEST_F(AutomationTest, ARequestedProgramThatCannotBeReadIsLoggedAsFailed) {
    Listen(1, false);
    readable_ = false;
    Punch(Request);
    host_.RunDeferred();
    EXPECT_EQ(Wire(), "");
    const std::string path = folder_.File("O1000.nc");
    EXPECT_NE(Log().find("request\tO1000\t0 lines\t0 bytes\tfailed: " + path + " cannot be read"),
              std::string::npos)
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
        EXPECT_FALSE(comm_.XoffHoldsOutput()) << "the wait's hold outlived it";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        std::filesystem::remove(folder_.File("feedrail-transfers.log"));
    }
}

// A machine that sends its XOFF right behind the XON that asks for the
// answer gets nothing until its next XON, although the send starts only
// once the XON has been handled.
TEST_F(AutomationTest, AnXoffRightBehindTheAnswersXonHoldsTheAnswer) {
    Listen(0, false);
    Punch(Request);
    ASSERT_EQ(LastStatus(), "Waiting for Remote Start");
    Punch("\x11\x13");
    host_.RunDeferred();
    ASSERT_EQ(host_.Session.Phase(), TransferPhase::Sending);
    host_.RunLoop([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(Wire().find('%'), std::string::npos) << "sent after the machine's XOFF: " << Wire();
    Punch("\x11");
    ASSERT_TRUE(host_.RunSend());
    EXPECT_NE(Wire().find("%\r\nO1000\r\nG1\r\n%"), std::string::npos) << Wire();
}

// While an answer waits for the machine's XON, the program found may be
// replaced by a link to elsewhere: it is looked at again before it is sent.
TEST_F(AutomationTest, AnAnswerReplacedByALinkOutOfTheFolderIsNotSent) {
    test::TempFolder elsewhere;
    WriteFile(elsewhere.File("secret"), "%\nSECRET\n%\n");
    Listen(0, false);
    Punch(Request);
    ASSERT_EQ(LastStatus(), "Waiting for Remote Start");
    std::filesystem::remove(folder_.File("O1000.nc"));
    std::filesystem::create_symlink(elsewhere.File("secret"), folder_.File("O1000.nc"));
    Punch("\x11");
    host_.RunDeferred();
    EXPECT_EQ(loads_, 0);
    EXPECT_EQ(Wire().find("SECRET"), std::string::npos) << Wire();
    EXPECT_NE(Log().find("not answered: " + folder_.File("O1000.nc") + " leads out of the folder"),
              std::string::npos)
        << Log();
}

// In EIA, 0x13 is the digit 3 in a program and the machine's DC3 only while it
// is fed: a punch that gives up a wait for XON keeps its every 3, also in the
// batch whose DC2 ended the wait.
TEST_F(AutomationTest, AnEiaPunchAfterAnAbandonedWaitKeepsItsThrees) {
    const std::string folder = folder_.File("received");
    std::filesystem::create_directory(folder);
    settings_.PunchType = PunchEia;
    Listen(0, true, folder + "/");
    Punch(EncodeTapeText("\x12%\nO1000\n%\n\x14", PunchEia));
    ASSERT_EQ(LastStatus(), "Waiting for Remote Start");
    Punch(EncodeTapeText("\x12%\nO7\nG1 X33.3\n%\n\x14", PunchEia));
    host_.RunDeferred();
    EXPECT_EQ(ReadFile(folder + "/O7.nc"), "%\nO7\nG1 X33.3\n%\n");
}

// The receive folder first (a relative one within the machine's folder),
// then the program's folder, then the user's data folder: a program is
// never lost for want of a place, and when no place takes it an error box
// names them all. The log's own trouble never hides that.
TEST_F(AutomationTest, AProgramGoesToTheFirstPlaceThatTakesIt) {
    const std::string data = folder_.File("data");
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    std::filesystem::create_directory(folder_.File("in"));
    WriteFile(folder_.File("plain-file"), "");
    const struct {
        const char* what;
        std::string receiveDir;
        std::string programDir;
        std::string dataHome;
        std::string saved;
    } cases[] = {
        {"a relative receive folder", "in/", folder_.File("gone/"), data, folder_.File("in/O7.nc")},
        {"the program's folder", "missing/", folder_.Path() + "/", data, folder_.File("O7.nc")},
        {"the data folder", "missing/", folder_.File("gone/"), data,
         data + "/feedrail/received/O7.nc"},
        {"nowhere", "missing/", folder_.File("gone/"), folder_.File("plain-file"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::setenv("XDG_DATA_HOME", c.dataHome.c_str(), 1);
        state_.ProgramDir = c.programDir;
        errors_.clear();
        comm_.Close();
        comm_.Reconnect();
        host_.Session.RequestStop();
        Listen(1, true, c.receiveDir);
        Punch("\x12%\nO7\nG1\n%\n\x14");
        if (!c.saved.empty()) {
            EXPECT_EQ(ReadFile(c.saved), "%\nO7\nG1\n%\n");
            EXPECT_EQ(LastStatus().rfind("Saved " + c.saved, 0), 0U) << LastStatus();
            EXPECT_TRUE(errors_.empty());
            std::filesystem::remove(c.saved);
        } else {
            ASSERT_EQ(errors_.size(), 1U);
            for (const std::string& place :
                 {folder_.File("missing/"), folder_.File("gone/"), c.dataHome}) {
                EXPECT_NE(errors_[0].find(place), std::string::npos) << place;
            }
            EXPECT_EQ(LastStatus().rfind("Cannot save the received program: ", 0), 0U)
                << LastStatus();
        }
    }
    ::unsetenv("XDG_DATA_HOME");
}

// A punch stopped part way and begun again keeps both: the fragment as an
// incomplete file, the whole program under its number.
TEST_F(AutomationTest, AnInterruptedPunchIsKeptBesideTheWholeOne) {
    Listen(1, true, "in/");
    std::filesystem::create_directory(folder_.File("in"));
    Punch("\x12%\nO5001 (PART A)\nG0 X1");
    Punch("\x12%\nO5001 (PART A)\nG0 X1\nM30\n%\n\x14");
    EXPECT_EQ(ReadFile(folder_.File("in/O5001.nc")), "%\nO5001 (PART A)\nG0 X1\nM30\n%\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.File("in"))) {
        names.push_back(entry.path().filename().string());
    }
    ASSERT_EQ(names.size(), 2U) << "a hidden or a %-only file was left";
    const std::string fragment = names[0] == "O5001.nc" ? names[1] : names[0];
    EXPECT_EQ(fragment.rfind("O5001-incomplete-", 0), 0U) << fragment;
    EXPECT_EQ(ReadFile(folder_.File("in/" + fragment)), "%\nO5001 (PART A)\nG0 X1");
    EXPECT_NE(Log().find("\tincomplete\n"), std::string::npos) << Log();
    EXPECT_NE(Log().find("\tcompleted\n"), std::string::npos) << Log();
}

} // namespace
} // namespace feedrail
