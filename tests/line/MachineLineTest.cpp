#include "line/MachineLine.h"

#include "profiles/ProfileValues.h"
#include "support/FakeWindowHost.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

// One machine's line on a real pseudo-terminal, the test as the machine and
// as the window that shows the line's snapshot.
class MachineLineTest : public ::testing::Test {
protected:
    MachineLineTest() {
        settings_.CommDevice = terminal_.SlavePath();
        // Paced at 9600 baud the program takes a second or two: long enough
        // for the machine's XOFF to find it running.
        settings_.CommBaudRate = 9600;
        settings_.CommHandshake = HandshakeXonXoff;
        settings_.EOB = 2;
        host_.Lines = {"%", "O1000"};
        for (int line = 0; line < 200; ++line) {
            host_.Lines.push_back("G1 X" + std::to_string(line));
        }
        host_.Lines.push_back("%");
        line_.OnRecord([this](const TransferRecord& record) { records_.push_back(record); });
    }

    // Runs the line's events until `done`, the machine reading what came.
    bool Until(const std::function<bool()>& done) {
        return host_.RunLoop([&] {
            wire_ += terminal_.ReadAll(0ms);
            return done();
        });
    }

    test::QueueHandOver handOver_;
    RunState state_;
    test::FakeWindowHost host_{handOver_, state_};
    ActiveSettings settings_;
    test::PseudoTerminal terminal_;
    test::TempFolder folder_;
    MachineLine line_{{.State = state_,
                       .Session = host_.Session,
                       .Settings = settings_,
                       .Status = host_,
                       .LossStatus = host_,
                       .Program = host_,
                       .Received = &host_,
                       .Ui = host_,
                       .Events = handOver_,
                       .ProgramDir = folder_.Path(),
                       .Leader = [] { return false; },
                       .ShowFiledProgram = {},
                       .LoadFile = {},
                       .ShowError = {},
                       .ReopenPort = {},
                       .Reached = {},
                       .FindProgram = {}}};
    std::vector<TransferRecord> records_;
    std::string wire_;
};

// The snapshot says what the line does at each step of a send the machine
// starts, pauses and resumes, and keeps the outcome once it has ended.
TEST_F(MachineLineTest, TheSnapshotFollowsASendThroughTheMachinesXonAndXoff) {
    line_.OpenPort();
    ASSERT_TRUE(host_.Session.RequestSend(false));
    line_.Send().SendStart();
    LineSnapshot seen = line_.Snapshot();
    EXPECT_EQ(seen.Phase, TransferPhase::WaitingForRemoteStart);
    EXPECT_TRUE(seen.Sending);
    EXPECT_TRUE(seen.PortOpen);
    EXPECT_FALSE(seen.PausedByMachine) << "nothing runs that could be paused";

    ASSERT_TRUE(Until([&] { return wire_ == "\x11\x11"; }));
    terminal_.Write("\x11");
    ASSERT_TRUE(Until([&] { return line_.Snapshot().Phase == TransferPhase::Sending; }));
    terminal_.Write("\x13");
    ASSERT_TRUE(Until([&] { return line_.Snapshot().PausedByMachine; }));
    EXPECT_TRUE(line_.Snapshot().Sending);
    terminal_.Write("\x11");
    ASSERT_TRUE(Until([&] { return line_.Snapshot().Phase == TransferPhase::Idle; }));

    seen = line_.Snapshot();
    EXPECT_FALSE(seen.Sending);
    EXPECT_FALSE(seen.PausedByMachine);
    std::string tape;
    for (const std::string& text : host_.Lines) {
        tape += text + "\n";
    }
    tape.pop_back();
    ASSERT_TRUE(Until([&] { return wire_ == "\x11\x11" + tape; }));
    ASSERT_TRUE(seen.Progress);
    EXPECT_EQ(test::Counts(*seen.Progress),
              (TransferProgress{TransferProgress::Way::Send, 203, 203, tape.size()}));
    ASSERT_TRUE(seen.LastTransfer);
    EXPECT_EQ(seen.LastTransfer->Result, "completed");
    EXPECT_EQ(seen.LastTransfer->Lines, 203);
    ASSERT_EQ(records_.size(), 1U);
    EXPECT_EQ(records_[0].Bytes, tape.size());
}

// The snapshot keeps what the line told last, the loss of its device as
// much as a transfer's status.
TEST_F(MachineLineTest, TheSnapshotKeepsTheLastStatusTheLineTold) {
    EXPECT_FALSE(line_.Snapshot().Status);
    line_.OpenPort();
    ASSERT_TRUE(host_.Session.RequestSend(false));
    line_.Send().SendStart();
    ASSERT_TRUE(line_.Snapshot().Status);
    EXPECT_EQ(line_.Snapshot().Status->Code, StatusCode::WaitingForXon);

    terminal_.HangUp();
    ASSERT_TRUE(host_.RunLoop([&] { return !line_.Snapshot().Sending; }));
    const LineSnapshot seen = line_.Snapshot();
    ASSERT_TRUE(seen.Status);
    EXPECT_EQ(seen.Status->Code, StatusCode::PortGone);
    EXPECT_EQ(seen.Status->Device, terminal_.SlavePath());
    EXPECT_EQ(host_.Statuses.back(), StatusText(*seen.Status, StatusAudience::Window));
}

} // namespace
} // namespace feedrail
