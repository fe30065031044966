#include "support/Bytes.h"
#include "support/TransferFixture.h"

namespace feedrail {
namespace {

using test::Bytes;
using test::Counts;

class ReceiveTransferTest : public test::TransferFixture {
protected:
    // Requests a receive and lets the port-open tick start it.
    void StartReceive(std::int32_t handshake, std::int32_t punchType = 1) {
        settings_.PunchType = punchType;
        settings_.CommHandshake = handshake;
        receive_.ReceiveButtonClick();
        OpenFor(handshake);
        state_.ReceivePending = false;
        receive_.ReceiveStart();
    }
};

TEST_F(ReceiveTransferTest, APunchedProgramArrivesLineByLine) {
    const struct {
        const char* name;
        std::int32_t punchType;
        std::string tape;
        std::vector<std::string> lines;
    } cases[] = {
        {"ascii", 1, "%\nO1000\r\nG0 X1\n\x14", {"%", "O1000", "G0 X1", ""}},
        {"two line feeds first", 1, "\n\n%\n\x14", {"", "%", ""}},
        {"iso CR LF", 3, Bytes({0xA5, 0x8D, 0x0A, 0x47, 0xB1, 0x8D, 0x0A, 0x14}), {"%", "G1"}},
        {"iso LF CR CR",
         3,
         Bytes({0xA5, 0x0A, 0x8D, 0x8D, 0x47, 0xB1, 0x0A, 0x8D, 0x8D, 0x14}),
         {"%", "G1"}},
        {"a punch started again keeps only the new start",
         1,
         "\x12%\nO1\nG1\x12%\nO1\nG1\nG2\n\x14",
         {"%", "O1", "G1", "G2", ""}},
        {"eia", 2, Bytes({0x0B, 0x80, 0x11, 0x67, 0x13, 0x80, 0x2F}), {"%", "G3"}},
        {"blank tape is never stored", 1, std::string(5, '\0') + "G1\n\x14", {"G1"}},
    };
    // LF ends a line (ISO's CR is no part of it); empty lines among the
    // first ones are tidied away, later ones stay.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::QueueHandOver handOver;
        test::NullModemComm comm(handOver);
        RunState state;
        test::FakeWindowHost host(handOver, state);
        host.ReceivedLines = &state.ReceivedLines;
        ActiveSettings settings;
        settings.PunchType = c.punchType;
        settings.CommHandshake = 1;
        SendTransfer send(state, settings, comm, host.ForSend());
        ReceiveTransfer receive(state, settings, comm, host.ForReceive(), send);
        comm.OnRxChar = [&](TVaCustomComm&, int count) { receive.Comm1RxChar(count); };
        comm.SetMonitorEvents(AllCommEvents);
        comm.SetFlowControl(fcNone);
        receive.ReceiveButtonClick();
        comm.Open();
        receive.ReceiveStart();
        std::size_t written = 0;
        comm.Machine().Write(c.tape.data(), c.tape.size(), 1000, written);
        handOver.RunUntil([&] { return host.Statuses.back() == "Finished Receiving"; });
        EXPECT_EQ(host.Lines, c.lines);
        EXPECT_EQ(host.Session.Phase(), TransferPhase::Idle);
        EXPECT_TRUE(state.ReceivedUnsaved);
    }
}

TEST_F(ReceiveTransferTest, TheRequestEmptiesTheEditorAndLocksTheButtons) {
    host_.Lines = {"old"};
    settings_.CommHandshake = 3;
    receive_.ReceiveButtonClick();
    EXPECT_TRUE(host_.Lines.empty());
    EXPECT_TRUE(state_.ReceivePending);
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::ReceiveRequested);
    EXPECT_EQ(comm_.DTRControl(), dtrEnable);
}

TEST_F(ReceiveTransferTest, TheStartShowsWaitingAndAsksForDataUnderXonXoff) {
    StartReceive(0);
    EXPECT_EQ(host_.Statuses.back(), "Waiting For Data");
    EXPECT_EQ(Wire(), "\x11\x11");
    EXPECT_TRUE(comm_.Device().Dtr());
    EXPECT_TRUE(comm_.Device().Rts());
}

// Nothing is lost when the window was busy: a batch far beyond the read
// buffer arrives whole, and a line longer than 250 characters is kept.
TEST_F(ReceiveTransferTest, LargeBatchesAndLongLinesArriveWhole) {
    comm_.SetReadBufSize(8192);
    StartReceive(1);
    std::string longLine;
    for (int i = 0; longLine.size() < 6000; ++i) {
        longLine += "X" + std::to_string(i);
    }
    // All of it is queued before the window looks: one event, far more
    // bytes than one read takes.
    MachineSends(longLine + "\n\x14");
    Deliver();
    EXPECT_EQ(host_.Lines, std::vector<std::string>{longLine});
}

// A punch without line ends (a tape read in the wrong code) is no program:
// the receive stops at 1 MiB of one line and keeps it, rather than hold the
// whole punch and have the editor lay out one line of it.
TEST_F(ReceiveTransferTest, ALineLongerThanAMebibyteStopsTheReceiveKeepingWhatCame) {
    comm_.SetReadBufSize(65536);
    std::vector<TransferRecord> ended;
    receive_.OnEnded([&](TransferRecord record) { ended.push_back(record); });
    StartReceive(1);
    const std::string punch = "%\n" + std::string((1 << 20) + 5000, 'X') + "\nG1\n\x14";
    std::size_t written = 0;
    comm_.Machine().Write(punch.data(), punch.size(), 0, written);
    handOver_.RunUntil(
        [this] {
            std::uint32_t errors = 0;
            ComStat stat;
            comm_.Machine().ClearError(errors, stat);
            return stat.cbOutQue == 0;
        },
        std::chrono::seconds(20));
    Deliver();
    ASSERT_EQ(host_.Lines.size(), 2U);
    EXPECT_EQ(host_.Lines[1], std::string((1 << 20) + 1, 'X'));
    EXPECT_TRUE(Showed("Receive stopped: line 2 is longer than 1 MiB (is the tape code right?)"));
    EXPECT_FALSE(Showed("Finished Receiving"));
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::Idle);
    ASSERT_EQ(ended.size(), 1U);
    EXPECT_EQ(ended[0].Result, "line too long");
}

// The closing "%" line ends the receive: what follows it is no part of the
// program, and a "%" within a line is text.
TEST_F(ReceiveTransferTest, TheClosingPercentUnderRtsCtsEndsTheReceive) {
    StartReceive(4);
    MachineSends("%\n(SPINDLE 80%\nG1\n%\nG2\n");
    Deliver();
    EXPECT_EQ(host_.Lines, (std::vector<std::string>{"%", "(SPINDLE 80%", "G1", "%"}));
    EXPECT_TRUE(Showed("Finished Receiving"));
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::Idle);
}

TEST_F(ReceiveTransferTest, TheMachineRaisingItsRtsDuringAnRtsCtsReceiveKeepsEveryLine) {
    StartReceive(4);
    // CTS rises: that gates a send, never the lines of a receive.
    comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
    Deliver();
    MachineSends("%\nG1\n%\n");
    Deliver();
    EXPECT_EQ(host_.Lines, (std::vector<std::string>{"%", "G1", "%"}));
}

TEST_F(ReceiveTransferTest, PercentSignsAreTextWithoutRtsCts) {
    StartReceive(1);
    MachineSends("%\nG1\n%\n");
    Deliver();
    EXPECT_EQ(host_.Lines, (std::vector<std::string>{"%", "G1", "%"}));
    EXPECT_FALSE(Showed("Finished Receiving"));
}

// An XOFF in the middle of a program pauses the control's reader, not the
// receive: the status stays on it and the lines after it still arrive.
TEST_F(ReceiveTransferTest, ControlCharactersShowTheirStatus) {
    StartReceive(1);
    MachineSends("\x12");
    Deliver();
    EXPECT_EQ(host_.Statuses.back(), "Receiving Data");
    MachineSends("%\nG1\n\x13");
    Deliver();
    EXPECT_EQ(host_.Statuses.back(), "Receiving Data");
    EXPECT_FALSE(Showed("Finished Receiving"));
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::Receiving);
    MachineSends("\x11G2\n\x13%\n\x14");
    Deliver();
    EXPECT_EQ(host_.Lines, (std::vector<std::string>{"%", "G1", "G2", "%", ""}));
    EXPECT_EQ(host_.Statuses.back(), "Finished Receiving");
    EXPECT_EQ(host_.Session.Phase(), TransferPhase::Idle);
}

// After Stop what the machine still punches never joins the program kept in
// the editor.
TEST_F(ReceiveTransferTest, AfterStopWhatTheMachineSendsStaysOutOfTheProgram) {
    StartReceive(1);
    MachineSends("%\nG1\n");
    Deliver();
    ASSERT_EQ(host_.Session.RequestStop(), TransferSession::StopAction::EndTransfer);
    MachineSends("G2\n%\n");
    Deliver();
    EXPECT_EQ(host_.Lines, (std::vector<std::string>{"%", "G1"}));
}

TEST_F(ReceiveTransferTest, AFailedReadIsReported) {
    StartReceive(1);
    comm_.Device().FailNext(test::NullModemEnd::Operation::Read, EIO);
    MachineSends("G1\n");
    handOver_.RunUntil([&] { return Showed("Error reading incoming data..."); });
    EXPECT_TRUE(Showed("Error reading incoming data..."));
}

TEST_F(ReceiveTransferTest, LineErrorsShowTheirMessagesInOrder) {
    receive_.Comm1Error(0x0014);
    EXPECT_EQ(host_.Statuses, (std::vector<std::string>{"The hardware detected a break condition.",
                                                        "The hardware detected a parity error."}));
    host_.Statuses.clear();
    receive_.Comm1Error(0xFFFF);
    ASSERT_EQ(host_.Statuses.size(), 11u);
    EXPECT_EQ(host_.Statuses.front(), "The hardware detected a break condition.");
    EXPECT_EQ(host_.Statuses.back(), "buffer was full.");
}

TEST_F(ReceiveTransferTest, ProgressCountsLinesAndBytes) {
    StartReceive(1);
    MachineSends("%\nG1\n\x14");
    Deliver();
    EXPECT_EQ(Counts(host_.Progress.back()),
              (TransferProgress{TransferProgress::Way::Receive, 3, 0, 6}));
}

// Progress is limited in rate, yet ends on the last bytes that came.
TEST_F(ReceiveTransferTest, TheProgressShowsTheLastBytesThatCame) {
    StartReceive(1);
    MachineSends("G1\n");
    Deliver();
    MachineSends("G2\n");
    Deliver();
    ASSERT_EQ(host_.Timed.size(), 1U);
    host_.Timed[0].second();
    EXPECT_EQ(Counts(host_.Progress.back()),
              (TransferProgress{TransferProgress::Way::Receive, 2, 0, 6}));
}

} // namespace
} // namespace feedrail
