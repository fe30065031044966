#include "support/Bytes.h"
#include "support/TransferFixture.h"
#include "transfer/TapeCode.h"

#include <thread>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

using test::Bytes;

const std::string Trailer = std::string(20, '\0') + "\x14";

class SendTransferTest : public test::TransferFixture {
protected:
    void Program(std::vector<std::string> lines) { host_.Lines = std::move(lines); }
};

TEST_F(SendTransferTest, EveryByteOnTheWireIsTheTapeCodesOwn) {
    const struct {
        const char* name;
        std::int32_t punchType;
        std::int32_t eob;
        std::int32_t handshake;
        bool leader;
        std::vector<std::string> lines;
        std::string wire;
    } cases[] = {
        {"ascii crlf, leader",
         1,
         0,
         1,
         true,
         {"%", "O1000", "G0 X1", "%"},
         "%\r\nO1000\r\nG0 X1\r\n%" + Trailer},
        {"iso crlf, leader",
         3,
         0,
         1,
         true,
         {"%", "O1000", "G0 X1", "%"},
         Bytes({0xA5, 0x8D, 0x0A, 0xCF, 0xB1, 0x30, 0x30, 0x30, 0x8D, 0x0A, 0x47, 0x30, 0xA0, 0xD8,
                0xB1, 0x8D, 0x0A, 0xA5}) +
             Trailer},
        {"eia, leader inside a $ line",
         2,
         1,
         1,
         true,
         {"$1%"},
         Bytes({0x5B, 0x01, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x0B, 0x80}) + Trailer},
        {"driver xon/xoff starts with two XON", 1, 2, 2, false, {"G1", ""}, "\x11\x11G1\n\n"},
        {"lines after the closing % are never sent",
         1,
         2,
         1,
         false,
         {"%", "G1", "%", "M30"},
         "%\nG1\n%"},
        {"an empty editor sends the trailer alone", 1, 0, 1, true, {}, Trailer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::QueueHandOver handOver;
        test::NullModemComm comm(handOver);
        RunState state;
        test::FakeWindowHost host(handOver, state);
        ActiveSettings settings;
        settings.PunchType = c.punchType;
        settings.EOB = c.eob;
        settings.CommHandshake = c.handshake;
        SendTransfer send(state, settings, comm, host.ForSend());
        host.LeaderOn = c.leader;
        host.Lines = c.lines;
        comm.SetFlowControl(fcNone);
        comm.SetRTSControl(rtsDisable);
        comm.SetDTRControl(dtrDisable);
        comm.Open();
        SetHandshakeLines(c.handshake, comm);
        host.Session.RequestSend(false);
        send.SendStart();
        EXPECT_EQ(comm.Device().Written(), c.wire);
        EXPECT_EQ(host.Statuses.back(), "Finished Send");
        EXPECT_EQ(host.Session.Phase(), TransferPhase::Idle);
    }
}

TEST_F(SendTransferTest, TheRequestClosesThePortAndWaitsForTheTimer) {
    OpenFor(1);
    state_.CancelRequested = true;
    send_.SendButtonClick();
    EXPECT_FALSE(comm_.Active());
    EXPECT_TRUE(state_.SendPending);
    EXPECT_FALSE(state_.CancelRequested);
    EXPECT_TRUE(state_.ReceiveOff);
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::SendRequested);
    EXPECT_EQ(host_.TimerArmed, 1);
}

// Program Xon/Xoff: two XON, then the machine's XON starts the send and its
// XOFF stops it before the next byte, not only at the next line.
TEST_F(SendTransferTest, TheMachinesXonStartsTheSendAndItsXoffPausesItMidLine) {
    Program({"%", "N10 G01 X100.0 Y200.0 F300.0", "N20 X0", "%"});
    OpenFor(0);
    StartSend();
    EXPECT_EQ(Wire(), "\x11\x11");
    EXPECT_EQ(LastStatus(), "Waiting for Remote Start");
    EXPECT_TRUE(state_.WaitingForRemoteStart);

    MachineSends("\x11");
    handOver_.RunUntil([&] { return !host_.Deferred.empty(); });
    EXPECT_FALSE(state_.WaitingForRemoteStart);
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::Sending) << "Stop stays at hand";
    EXPECT_TRUE(Showed("xon"));

    std::size_t atXoff = 0;
    int pollsHeld = 0;
    host_.OnPoll = [&] {
        if (atXoff == 0 && Wire().size() == 2 + 2 + 12) {
            MachineSends("\x13");
            handOver_.RunUntil([&] { return !state_.XonState; });
            atXoff = Wire().size();
        } else if (atXoff != 0 && !state_.XonState && ++pollsHeld == 50) {
            EXPECT_EQ(Wire().size(), atXoff) << "bytes went out after the machine's XOFF";
            MachineSends("\x11");
        }
        return false;
    };
    host_.RunDeferred();
    EXPECT_EQ(pollsHeld, 50);
    EXPECT_EQ(Wire(), "\x11\x11%\r\nN10 G01 X100.0 Y200.0 F300.0\r\nN20 X0\r\n%");
    EXPECT_TRUE(Showed("Paused by the machine (XOFF)"));
    EXPECT_FALSE(Showed("Finished Sending"));
    EXPECT_EQ(LastStatus(), "Finished Send");

    // The control keeps asking after the end: the outcome stays readable.
    MachineSends("\x11\x13\x11");
    Deliver();
    EXPECT_EQ(LastStatus(), "Finished Send");
}

// In EIA the machine's XON and XOFF are the plain bytes (0x13 is also EIA's
// digit 3): they start and pause the send as in the other codes.
TEST_F(SendTransferTest, AnEiaMachinesXonStartsTheSendAndItsXoffPausesIt) {
    Program({"%", "G1 X1", "%"});
    settings_.PunchType = PunchEia;
    OpenFor(0);
    StartSend();
    MachineSends("\x13\x11");
    handOver_.RunUntil([&] { return !host_.Deferred.empty(); });
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::Sending);
    bool paused = false;
    host_.OnPoll = [&] {
        if (!paused && Wire().size() == 4) {
            paused = true;
            MachineSends("\x13");
            handOver_.RunUntil([&] { return !state_.XonState; });
            MachineSends("\x11");
        }
        return false;
    };
    host_.RunDeferred();
    EXPECT_TRUE(Showed("Paused by the machine (XOFF)"));
    EXPECT_EQ(Wire(), "\x11\x11" + EncodeTapeText("%", PunchEia) + "\x80" +
                          EncodeTapeText("G1 X1", PunchEia) + "\x80" +
                          EncodeTapeText("%", PunchEia));
}

// A character EIA has no code for would go out as a blank: the send does
// not start, and the status says where it stands.
TEST_F(SendTransferTest, AnEiaSendOfACharacterWithoutACodeDoesNotStart) {
    Program({"%", "#100 3*4", "y2", "%"});
    settings_.PunchType = PunchEia;
    OpenFor(1);
    send_.SendButtonClick();
    EXPECT_FALSE(host_.Session.Sending());
    EXPECT_EQ(LastStatus(),
              "Cannot send in EIA: line 3, column 1 holds \"y\", which has no EIA code");
    EXPECT_EQ(Wire(), "");
}

TEST_F(SendTransferTest, EscBetweenLinesStillSendsTheTrailer) {
    Program({"%", "G1", "G2", "%"});
    host_.LeaderOn = true;
    OpenFor(1);
    host_.OnPoll = [&] { return Wire() == "%\r\nG1\r\n"; };
    StartSend();
    EXPECT_EQ(Wire(), "%\r\nG1\r\n" + Trailer);
    EXPECT_TRUE(Showed("Sending Canceled"));
    EXPECT_EQ(LastStatus(), "Finished Send");
    EXPECT_TRUE(state_.CancelRequested);
}

TEST_F(SendTransferTest, EscMidLineEndsAtOnceWithoutTrailer) {
    Program({"%", "G01 X10", "%"});
    host_.LeaderOn = true;
    OpenFor(1);
    host_.OnPoll = [&] { return Wire() == "%\r\nG01"; };
    StartSend();
    EXPECT_EQ(Wire(), "%\r\nG01");
    EXPECT_EQ(LastStatus(), "Send Cancelled");
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::Idle);
}

TEST_F(SendTransferTest, RtsCtsWritesNothingWhileCtsIsOff) {
    Program({"%", "G1", "%"});
    OpenFor(4);
    host_.OnPoll = [&] { return host_.Polls > 100; };
    StartSend();
    EXPECT_EQ(Wire(), "");
    EXPECT_TRUE(Showed("Waiting for Remote Start-press esc to cancel"));
    EXPECT_EQ(LastStatus(), "Send Cancelled");
}

TEST_F(SendTransferTest, RtsCtsSendsWhileCtsIsOnAndWaitsWhenItDrops) {
    Program({"%", "G01 X10", "G02 Y20", "%"});
    OpenFor(4);
    comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
    int heldPolls = 0;
    host_.OnPoll = [&] {
        if (Wire() == "%\r\nG01 X" && heldPolls == 0) {
            comm_.Machine().EscapeFunction(EscapeCode::CLRRTS);
            heldPolls = 1;
        } else if (heldPolls > 0 && heldPolls < 30 && ++heldPolls == 30) {
            EXPECT_EQ(Wire(), "%\r\nG01 X") << "a byte went out with CTS off";
            comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
        }
        return false;
    };
    StartSend();
    EXPECT_EQ(heldPolls, 30);
    EXPECT_EQ(Wire(), "%\r\nG01 X10\r\nG02 Y20\r\n%");
    EXPECT_EQ(LastStatus(), "Finished Send");
}

TEST_F(SendTransferTest, DtrHandshakeSendsWhileTheMachinesDtrIsOn) {
    Program({"%", "G1", "%"});
    OpenFor(3);
    host_.OnPoll = [&] {
        if (host_.Polls == 20) {
            EXPECT_EQ(Wire(), "") << "bytes went out while DSR was off";
            comm_.Machine().EscapeFunction(EscapeCode::SETDTR);
        }
        return false;
    };
    StartSend();
    EXPECT_EQ(Wire(), "%\r\nG1\r\n%");
    EXPECT_EQ(LastStatus(), "Finished Send");
    EXPECT_EQ(comm_.DTRControl(), dtrEnable);
}

TEST_F(SendTransferTest, EscDuringALinePauseEndsThePauseAndTheSendAtOnce) {
    Program({"%", "G1", "%"});
    settings_.PunchWait = 1000; // 10 s after every line
    OpenFor(1);
    host_.OnPoll = [&] { return Wire() == "%\r\n"; };
    const auto start = std::chrono::steady_clock::now();
    StartSend();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(Wire(), "%\r\n");
    EXPECT_TRUE(Showed("Sending Canceled"));
    EXPECT_EQ(LastStatus(), "Finished Send");
}

// A Char Delay past what nanoseconds count is the longest pause, not none.
TEST_F(SendTransferTest, ACharDelayBeyondTheCountablePausesAfterEveryLine) {
    Program({"%", "G1", "%"});
    settings_.PunchWait = 2'000'000;
    OpenFor(1);
    int polls = 0;
    host_.OnPoll = [&] { return Wire() == "%\r\n" && ++polls == 50; };
    StartSend();
    EXPECT_EQ(Wire(), "%\r\n") << "the pause after the first line was skipped";
    EXPECT_TRUE(Showed("Sending Canceled"));
}

TEST_F(SendTransferTest, ProgressCountsTheLinesSent) {
    Program({"%", "G1", "%"});
    OpenFor(1);
    StartSend();
    ASSERT_FALSE(host_.Progress.empty());
    EXPECT_EQ(host_.Progress.front(), "Sent 1 of 3 lines");
    EXPECT_EQ(host_.Progress.back(), "Sent 3 of 3 lines");
}

TEST_F(SendTransferTest, AfterASendTheMachinesRepeatedXonLeavesTheSendsProgress) {
    Program({"%", "G1", "%"});
    OpenFor(0);
    StartSend();
    MachineSends("\x11");
    Deliver();
    host_.RunDeferred();
    ASSERT_EQ(LastStatus(), "Finished Send");
    // A control repeats its XON some seconds apart, after any rate limit.
    std::this_thread::sleep_for(300ms);
    MachineSends("\x11\x11\x11");
    Deliver();
    EXPECT_EQ(host_.Progress.back(), "Sent 3 of 3 lines");
}

// A receive cannot start under a waiting send, whose XON would send the
// received lines back to the machine; Stop ends the wait for good.
TEST_F(SendTransferTest, AReceiveRequestWaitsForStopWhileASendWaitsForTheMachinesXon) {
    Program({"%", "G1", "%"});
    OpenFor(0);
    StartSend();
    ASSERT_TRUE(state_.WaitingForRemoteStart);
    receive_.ReceiveButtonClick();
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::WaitingForRemoteStart);
    EXPECT_EQ(host_.Lines.size(), 3U) << "the editor stays";
    host_.Session.RequestStop();
    EXPECT_FALSE(state_.WaitingForRemoteStart);
    MachineSends("\x11");
    Deliver();
    host_.RunDeferred();
    EXPECT_EQ(Wire(), "\x11\x11");
}

TEST_F(SendTransferTest, TheMachinesDc4EndsAWaitForItsXon) {
    Program({"%", "G1", "%"});
    std::vector<TransferRecord> records;
    send_.OnEnded([&records](TransferRecord record) { records.push_back(std::move(record)); });
    OpenFor(0);
    StartSend();
    MachineSends("\x11");
    Deliver();
    host_.RunDeferred();
    ASSERT_EQ(records.size(), 1U);
    EXPECT_GT(records[0].Bytes, 0U);
    StartSend();
    const std::string waiting = Wire();
    MachineSends("\x14");
    Deliver();
    EXPECT_FALSE(state_.WaitingForRemoteStart);
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(records[1].Result, "cancelled: the machine sent DC4");
    EXPECT_EQ(records[1].Bytes, 0U) << "the send before it counted";
    MachineSends("\x11");
    Deliver();
    host_.RunDeferred();
    EXPECT_EQ(Wire(), waiting) << "the XON after DC4 started the send";
}

// Held by the machine's XOFF under the driver's Xon/Xoff, a cancelled send
// leaves nothing queued to go out at the machine's next XON.
TEST_F(SendTransferTest, ACancelledSendLeavesNothingQueuedInTheDriver) {
    Program({"%", "G01 X10 Y20 Z30", "%"});
    OpenFor(2);
    int queued = 0;
    host_.OnPoll = [&] {
        if (Wire() == "\x11\x11%\r\n" && queued == 0) {
            MachineSends("\x13");
        }
        return Wire() == "\x11\x11%\r\n" && ++queued == 6;
    };
    StartSend();
    ASSERT_EQ(LastStatus(), "Send Cancelled");
    MachineSends("\x11");
    Deliver();
    EXPECT_EQ(Wire(), "\x11\x11%\r\n") << "queued bytes reached the machine after the cancel";
}

// What the control sends during a send is never part of the program, and its
// DC4 does not make the window look idle while the send runs.
TEST_F(SendTransferTest, TextAndDc4FromTheMachineDuringASendChangeNothing) {
    Program({"%", "G1", "G2", "%"});
    OpenFor(0);
    StartSend();
    MachineSends("\x11");
    handOver_.RunUntil([&] { return !host_.Deferred.empty(); });
    bool junkSent = false;
    host_.OnPoll = [&] {
        if (!junkSent && Wire() == "\x11\x11%\r\n") {
            junkSent = true;
            MachineSends("\x13JUNK FROM CONTROL\r\n\x14");
            handOver_.RunUntil([&] { return !state_.XonState; });
            Deliver();
            EXPECT_EQ(host_.Session.Phase(), TransferPhase::Sending);
            EXPECT_FALSE(Showed("Finished Receiving"));
            MachineSends("\x11");
        }
        return false;
    };
    host_.RunDeferred();
    EXPECT_EQ(Wire(), "\x11\x11%\r\nG1\r\nG2\r\n%");
    EXPECT_EQ(host_.Lines, (std::vector<std::string>{"%", "G1", "G2", "%"}));
    EXPECT_EQ(LastStatus(), "Finished Send");
}

} // namespace
} // namespace feedrail
