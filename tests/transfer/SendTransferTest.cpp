#include "support/Bytes.h"
#include "support/TransferFixture.h"
#include "transfer/TapeCode.h"

#include <thread>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

using test::Bytes;
using test::Counts;

const std::string Trailer = std::string(20, '\0') + "\x14";

// A send and a receive of their own on a null modem, as the window wires
// them, for one case of a table; the port closed, with no flow control.
struct Station {
    explicit Station(const ActiveSettings& settings)
        : send(state, settings, comm, host.ForSend()),
          receive(state, settings, comm, host.ForReceive(), send) {
        comm.OnRxChar = [this](TVaCustomComm&, int count) { receive.Comm1RxChar(count); };
        comm.SetMonitorEvents(AllCommEvents);
        comm.SetFlowControl(fcNone);
        comm.SetRTSControl(rtsDisable);
        comm.SetDTRControl(dtrDisable);
    }
    // Opens the port for `handshake` and starts the send on it.
    void Send(std::int32_t handshake) {
        comm.Open();
        SetHandshakeLines(handshake, comm);
        ASSERT_TRUE(host.Session.RequestSend(false));
        send.SendStart();
    }

    test::QueueHandOver handOver;
    test::NullModemComm comm{handOver};
    RunState state;
    test::FakeWindowHost host{handOver, state};
    SendTransfer send;
    ReceiveTransfer receive;
};

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
        ActiveSettings settings;
        settings.PunchType = c.punchType;
        settings.EOB = c.eob;
        settings.CommHandshake = c.handshake;
        Station station(settings);
        auto& [handOver, comm, state, host, send, receive] = station;
        host.LeaderOn = c.leader;
        host.Lines = c.lines;
        station.Send(c.handshake);
        EXPECT_EQ(comm.Device().Written(), c.wire);
        EXPECT_EQ(host.Statuses.back(), "Finished Send");
        EXPECT_EQ(host.Session.Phase(), TransferPhase::Idle);
    }
}

TEST_F(SendTransferTest, TheRequestClosesThePortAndWaitsForTheTimer) {
    OpenFor(1);
    send_.SendButtonClick();
    EXPECT_FALSE(comm_.Active());
    EXPECT_TRUE(state_.SendPending);
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::SendRequested);
    EXPECT_EQ(host_.TimerArmed, 1);
}

// Program Xon/Xoff: two XON, then the machine's XON starts the send and its
// XOFF holds it within the line, at the device, whatever the pump has queued.
TEST_F(SendTransferTest, TheMachinesXonStartsTheSendAndItsXoffHoldsItMidLine) {
    const struct {
        const char* name;
        std::int32_t punchType;
        std::string start;
        std::vector<std::string> program;
        std::string tape;
        std::size_t beforeXoff;
    } cases[] = {
        {"ascii",
         PunchAscii,
         "\x11",
         {"%", "N10 G01 X100.0 Y200.0 F300.0", "N20 X0", "%"},
         "%\r\nN10 G01 X100.0 Y200.0 F300.0\r\nN20 X0\r\n%",
         12},
        // In EIA the machine's XON and XOFF are the plain bytes (0x13 is also
        // EIA's digit 3).
        {"eia",
         PunchEia,
         "\x13\x11",
         {"%", "G1 X1", "%"},
         EncodeTapeText("%", PunchEia) + "\x80" + EncodeTapeText("G1 X1", PunchEia) + "\x80" +
             EncodeTapeText("%", PunchEia),
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings_.PunchType = c.punchType;
        settings_.CommHandshake = HandshakeXonXoff;
        Station station(settings_);
        auto& [handOver, comm, state, host, send, receive] = station;
        host.Lines = c.program;
        station.Send(HandshakeXonXoff);
        EXPECT_EQ(comm.Device().Written(), "\x11\x11");
        EXPECT_EQ(host.Statuses.back(), "Waiting for Remote Start");
        comm.Device().HoldOutput(true);
        const auto machineSends = [&comm](const std::string& bytes) {
            std::size_t written = 0;
            comm.Machine().Write(bytes.data(), bytes.size(), 1000, written);
        };
        machineSends(c.start);
        ASSERT_TRUE(host.RunLoop([&] { return host.Session.Phase() == TransferPhase::Sending; }));
        ASSERT_TRUE(host.RunLoop([&] { return comm.OutputQueued() > c.beforeXoff; }));

        comm.Device().LetThrough(c.beforeXoff);
        machineSends("\x13");
        comm.Device().HoldOutput(false);
        ASSERT_TRUE(
            host.RunLoop([&] { return host.Statuses.back() == "Paused by the machine (XOFF)"; }));
        host.RunLoop([] { return false; }, 50ms);
        EXPECT_EQ(comm.Device().Written(), "\x11\x11" + c.tape.substr(0, c.beforeXoff))
            << "bytes went out after the machine's XOFF";
        EXPECT_EQ(host.Statuses.back(), "Paused by the machine (XOFF)");

        machineSends("\x11");
        ASSERT_TRUE(host.RunSend());
        EXPECT_EQ(comm.Device().Written(), "\x11\x11" + c.tape);
        EXPECT_EQ(host.Statuses.back(), "Finished Send");
        EXPECT_FALSE(comm.XoffHoldsOutput()) << "the hold outlived the send";
    }
}

// The control keeps asking after the end: the outcome stays readable.
TEST_F(SendTransferTest, AfterTheSendTheMachinesXonAndXoffLeaveTheOutcome) {
    Program({"%", "G1", "%"});
    OpenFor(0);
    StartSend();
    MachineSends("\x11");
    ASSERT_TRUE(host_.RunSend());
    MachineSends("\x11\x13\x11");
    Deliver();
    EXPECT_EQ(LastStatus(), "Finished Send");
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

// Stop between lines (in a line pause) still gives the tape its trailer;
// Stop in the middle of a line drops what the port holds, with no trailer.
TEST_F(SendTransferTest, StopEndsTheSendAtOnceWithTheTrailerOnlyBetweenLines) {
    const struct {
        const char* name;
        std::int32_t punchWait;
        std::size_t letThrough;
        std::string wire;
        const char* status;
        const char* last;
    } cases[] = {
        {"in a pause of 10 s", 1000, 3, "%\r\n" + Trailer, "Sending Canceled", "Finished Send"},
        {"in a pause too long to count", 2'000'000, 3, "%\r\n" + Trailer, "Sending Canceled",
         "Finished Send"},
        {"mid-line", 0, 6, "%\r\nG1\r", "Send Cancelled", "Send Cancelled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings_.PunchWait = c.punchWait;
        settings_.CommHandshake = 1;
        Station station(settings_);
        auto& [handOver, comm, state, host, send, receive] = station;
        host.Lines = {"%", "G1", "G2", "%"};
        host.LeaderOn = true;
        comm.Device().HoldOutput(true);
        comm.Device().LetThrough(c.letThrough);
        const auto start = std::chrono::steady_clock::now();
        station.Send(1);
        ASSERT_TRUE(host.RunLoop([&] {
            return comm.Device().Written().size() == c.letThrough &&
                   (c.punchWait == 0 || comm.OutputQueued() == 0);
        })) << comm.Device().Written();
        host.RunLoop([] { return false; }, 20ms);
        EXPECT_TRUE(send.Cancel());
        EXPECT_EQ(host.Session.Phase(), TransferPhase::Idle);
        comm.Device().HoldOutput(false);
        host.RunLoop([] { return false; }, 20ms);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_EQ(comm.Device().Written(), c.wire);
        EXPECT_NE(std::find(host.Statuses.begin(), host.Statuses.end(), c.status),
                  host.Statuses.end());
        EXPECT_EQ(host.Statuses.back(), c.last);
    }
}

// A control that sends XOFF once it has read the closing "%" still gets the
// trailer, and the send ends well.
TEST_F(SendTransferTest, AnXoffAfterTheLastByteHoldsNeitherTheTrailerNorTheEnd) {
    Program({"%", "G1", "%"});
    host_.LeaderOn = true;
    OpenFor(0);
    StartSend();
    comm_.Device().HoldOutput(true);
    comm_.Device().LetThrough(8);
    MachineSends("\x11");
    ASSERT_TRUE(host_.RunLoop([&] { return Wire() == "\x11\x11%\r\nG1\r\n%"; }));
    MachineSends("\x13");
    comm_.Device().HoldOutput(false);
    ASSERT_TRUE(host_.RunSend());
    EXPECT_EQ(Wire(), "\x11\x11%\r\nG1\r\n%" + Trailer);
    EXPECT_EQ(LastStatus(), "Finished Send");
}

// A machine that holds the send (its XOFF, a tool change) sees the highlight
// on the line it holds in, however fast the lines before it went.
TEST_F(SendTransferTest, TheHighlightCatchesUpWithASendTheMachineHolds) {
    Program({"%", "G01 X10", "G02 Y20", "G03 Z30", "%"});
    comm_.Device().HoldOutput(true);
    comm_.Device().LetThrough(14);
    OpenFor(1);
    StartSend();
    ASSERT_TRUE(host_.RunLoop([&] { return Wire().size() == 14; }));
    host_.RunLoop([] { return false; }, 400ms);
    ASSERT_FALSE(host_.Highlighted.empty());
    EXPECT_EQ(host_.Highlighted.back(), 3) << "\"G02 Y20\" is the line held";
    EXPECT_EQ(Counts(host_.Progress.back()),
              (TransferProgress{TransferProgress::Way::Send, 3, 5, 14}));
    EXPECT_TRUE(send_.Cancel());
}

// Stopped with lines still in the port, the record counts only what left it.
TEST_F(SendTransferTest, AStoppedSendRecordsTheLinesAndBytesThatLeftThePort) {
    Program({"%", "G01 X10", "G02 Y20", "%"});
    std::vector<TransferRecord> records;
    send_.OnEnded([&records](TransferRecord record) { records.push_back(std::move(record)); });
    comm_.Device().HoldOutput(true);
    comm_.Device().LetThrough(14);
    OpenFor(1);
    StartSend();
    ASSERT_TRUE(host_.RunLoop([&] { return Wire().size() == 14; }));
    host_.RunLoop([] { return false; }, 20ms);
    EXPECT_TRUE(send_.Cancel());
    ASSERT_EQ(records.size(), 1U);
    EXPECT_EQ(records[0].Lines, 2) << "\"%\" and \"G01 X10\" left the port, \"G02\" began";
    EXPECT_EQ(records[0].Bytes, 14U);
    EXPECT_EQ(records[0].Result, "cancelled");
    // The editor shows where to start again, however fast the lines went.
    ASSERT_FALSE(host_.Highlighted.empty());
    EXPECT_EQ(host_.Highlighted.back(), 3);
    EXPECT_EQ(Counts(host_.Progress.back()),
              (TransferProgress{TransferProgress::Way::Send, 3, 4, 14}));
}

// The handshake's lines hold the output at the device: nothing goes while
// the machine's RTS (our CTS) or DTR (our DSR) is off, even mid-line.
TEST_F(SendTransferTest, TheMachinesLinesHoldTheSend) {
    const struct {
        const char* name;
        std::int32_t handshake;
        int on;
        int off;
        std::string tape;
        std::size_t beforeDrop;
    } cases[] = {
        {"rts/cts", 4, EscapeCode::SETRTS, EscapeCode::CLRRTS, "%\r\nG01 X10\r\nG02 Y20\r\n%", 9},
        {"dtr", 3, EscapeCode::SETDTR, EscapeCode::CLRDTR, "%\r\nG1\r\n%", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings_.CommHandshake = c.handshake;
        Station station(settings_);
        auto& [handOver, comm, state, host, send, receive] = station;
        host.Lines = {"%", "G01 X10", "G02 Y20", "%"};
        if (c.handshake == 3) {
            host.Lines = {"%", "G1", "%"};
        }
        // The machine's line stands before the port opens.
        comm.Open();
        comm.Machine().EscapeFunction(c.beforeDrop > 0 ? c.on : c.off);
        comm.Device().HoldOutput(true);
        comm.Device().LetThrough(c.beforeDrop);
        SetHandshakeLines(c.handshake, comm);
        ASSERT_TRUE(host.Session.RequestSend(false));
        send.SendStart();
        ASSERT_TRUE(host.RunLoop([&] { return comm.Device().Written().size() == c.beforeDrop; }));
        comm.Machine().EscapeFunction(c.off);
        // Only an XON/XOFF handshake listens to the machine's XOFF.
        std::size_t written = 0;
        comm.Machine().Write("\x13", 1, 1000, written);
        comm.Device().HoldOutput(false);
        host.RunLoop([] { return false; }, 50ms);
        EXPECT_EQ(
            std::count(host.Statuses.begin(), host.Statuses.end(), "Paused by the machine (XOFF)"),
            0);
        EXPECT_EQ(comm.Device().Written(), c.tape.substr(0, c.beforeDrop))
            << "a byte went out with the machine's line off";
        EXPECT_TRUE(host.Session.Sending());
        comm.Machine().EscapeFunction(c.on);
        ASSERT_TRUE(host.RunSend());
        EXPECT_EQ(comm.Device().Written(), c.tape);
        EXPECT_EQ(host.Statuses.back(), "Finished Send");
    }
}

TEST_F(SendTransferTest, RtsCtsWaitsForTheMachineUntilStop) {
    Program({"%", "G1", "%"});
    OpenFor(4);
    StartSend();
    host_.RunLoop([] { return false; }, 50ms);
    EXPECT_TRUE(send_.Cancel());
    EXPECT_EQ(Wire(), "");
    EXPECT_TRUE(Showed("Waiting for Remote Start-press esc to cancel"));
    EXPECT_EQ(LastStatus(), "Send Cancelled");
}

TEST_F(SendTransferTest, ProgressCountsTheLinesSent) {
    Program({"%", "G1", "%"});
    OpenFor(1);
    StartSend();
    ASSERT_FALSE(host_.Progress.empty());
    EXPECT_EQ(Counts(host_.Progress.front()),
              (TransferProgress{TransferProgress::Way::Send, 1, 3, 0}));
    // The bytes are those that left the port, the trailer's included.
    EXPECT_EQ(Counts(host_.Progress.back()),
              (TransferProgress{TransferProgress::Way::Send, 3, 3, Wire().size()}));
    // The percent is of bytes: reckoned at the start from the text and a line
    // end a line, known to the byte at the end.
    const std::string lineEnd = EndOfLineBytes(settings_.EOB, settings_.PunchType);
    EXPECT_EQ(host_.Progress.front().TotalBytes, 4 + 3 * lineEnd.size());
    EXPECT_EQ(host_.Progress.front().Percent(), 0);
    EXPECT_EQ(host_.Progress.back().TotalBytes, Wire().size());
    EXPECT_EQ(host_.Progress.back().Percent(), 100);
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
    // The program's bytes: the two XON that said Feedrail was ready are not.
    EXPECT_EQ(Counts(host_.Progress.back()),
              (TransferProgress{TransferProgress::Way::Send, 3, 3, Wire().size() - 2}));
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
    comm_.Device().HoldOutput(true);
    comm_.Device().LetThrough(5);
    OpenFor(2);
    StartSend();
    ASSERT_TRUE(host_.RunLoop([&] { return Wire() == "\x11\x11%\r\n"; }));
    MachineSends("\x13");
    comm_.Device().HoldOutput(false);
    host_.RunLoop([] { return false; }, 20ms);
    EXPECT_TRUE(send_.Cancel());
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
    comm_.Device().HoldOutput(true);
    comm_.Device().LetThrough(3);
    MachineSends("\x11");
    ASSERT_TRUE(host_.RunLoop([&] { return Wire() == "\x11\x11%\r\n"; }));
    MachineSends("\x13JUNK FROM CONTROL\r\n\x14");
    comm_.Device().HoldOutput(false);
    ASSERT_TRUE(host_.RunLoop([&] { return Showed("Paused by the machine (XOFF)"); }));
    Deliver();
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::Sending);
    EXPECT_FALSE(Showed("Finished Receiving"));
    EXPECT_EQ(Wire(), "\x11\x11%\r\n");
    MachineSends("\x11");
    ASSERT_TRUE(host_.RunSend());
    EXPECT_EQ(Wire(), "\x11\x11%\r\nG1\r\nG2\r\n%");
    EXPECT_EQ(host_.Lines, (std::vector<std::string>{"%", "G1", "G2", "%"}));
    EXPECT_EQ(LastStatus(), "Finished Send");
}

} // namespace
} // namespace feedrail
