#include "serial/EVaCommError.h"
#include "support/NullModemComm.h"
#include "support/QueueHandOver.h"

#include <gtest/gtest.h>
#include <thread>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::NullModemComm;
using test::QueueHandOver;

// Every event handler writes its name into a log, so a test sees which
// handlers ran and in which order.
class CommEventsTest : public ::testing::Test {
protected:
    CommEventsTest() {
        comm_.SetMonitorEvents(AllCommEvents);
        comm_.SetFlowControl(fcNone);
        comm_.SetDTRControl(dtrDisable);
        comm_.SetRTSControl(rtsDisable);
        comm_.SetEventChars(TVaEventChars(17, 19, 0, '%'));
        const std::pair<TVaCustomComm::NotifyEvent TVaCustomComm::*, const char*> notifications[] =
            {
                {&TVaCustomComm::OnRxFlag, "RxFlag"}, {&TVaCustomComm::OnCts, "Cts"},
                {&TVaCustomComm::OnDsr, "Dsr"},       {&TVaCustomComm::OnRing, "Ring"},
                {&TVaCustomComm::OnRlsd, "Rlsd"},     {&TVaCustomComm::OnTxEmpty, "TxEmpty"},
                {&TVaCustomComm::OnBreak, "Break"},
            };
        for (const auto& [event, name] : notifications) {
            comm_.*event = [this, name = std::string(name)](TVaCustomComm& sender) {
                EXPECT_EQ(&sender, &comm_);
                log_.push_back(name);
            };
        }
        comm_.OnError = [this](TVaCustomComm&, int errors) {
            log_.push_back("Error");
            errors_.push_back(errors);
        };
        comm_.OnRxChar = [this](TVaCustomComm&, int count) {
            log_.push_back("RxChar");
            counts_.push_back(count);
        };
    }

    // A byte arrives and its dispatch waits, unrun, while the test goes on.
    void LeaveADispatchWaiting() {
        comm_.Machine().Write("A", 1, 0, written_);
        ASSERT_TRUE(handOver_.WaitForPost()) << "the device reported nothing";
    }

    // Runs hand-overs until the log holds `count` entries (or a moment passes).
    void RunUntilLogged(std::size_t count) {
        handOver_.RunUntil([&] { return log_.size() >= count; }, 2s);
        handOver_.RunUntil([] { return false; }, 50ms);
    }

    QueueHandOver handOver_;
    NullModemComm comm_{handOver_};
    std::vector<std::string> log_;
    std::vector<int> errors_;
    std::vector<int> counts_;
    std::size_t written_ = 0;
};

// What happened before a dispatch runs is one batch, its handlers in a fixed
// order.
TEST_F(CommEventsTest, OneBatchFiresItsEventsInTheFixedOrder) {
    comm_.Open();
    LeaveADispatchWaiting();
    comm_.Device().InjectLineErrors(CommErrorBit::CE_FRAME);
    comm_.Device().InjectBreak();
    comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
    comm_.Machine().EscapeFunction(EscapeCode::SETDTR);
    comm_.Machine().SetRing(true);
    comm_.Machine().Write("%", 1, 0, written_);
    const char byte = 'Z';
    ASSERT_EQ(comm_.WriteBuf(&byte, 1), 1);
    EXPECT_EQ(handOver_.RunPending(), 1) << "one dispatch for the whole batch";
    EXPECT_EQ(log_, (std::vector<std::string>{"RxChar", "Error", "RxFlag", "Cts", "Dsr", "Ring",
                                              "Rlsd", "TxEmpty", "Break"}));
    // The receive step's status query fetched the error flags first; they
    // still reach the error event that came with them.
    EXPECT_EQ(errors_,
              std::vector<int>{static_cast<int>(CommErrorBit::CE_FRAME | CommErrorBit::CE_BREAK)});
    EXPECT_EQ(counts_.back(), 2) << "the count is the queue length when the handler runs";
    RunUntilLogged(10);
    EXPECT_EQ(log_.size(), 9U) << "an event reported twice";
}

// A handler that runs a loop of its own (a message box) lets no later batch
// of the port in ahead of the rest of its own: bytes keep their order.
TEST_F(CommEventsTest, ADispatchWaitsForTheOneWhoseHandlerRunsALoop) {
    std::string handled;
    comm_.OnRxChar = [&](TVaCustomComm& port, int count) {
        std::string bytes(static_cast<std::size_t>(count), '\0');
        bytes.resize(static_cast<std::size_t>(port.ReadBuf(bytes.data(), count)));
        if (handled.empty() && bytes == "A") {
            comm_.Machine().Write("B", 1, 0, written_);
            handOver_.RunUntil([] { return false; }, 100ms);
        }
        handled += bytes;
    };
    comm_.Open();
    comm_.Machine().Write("A", 1, 0, written_);
    handOver_.RunUntil([&] { return handled.size() >= 2; }, 2s);
    EXPECT_EQ(handled, "AB");
}

TEST_F(CommEventsTest, LineErrorsReachOnErrorWithThePlatformFlags) {
    comm_.Open();
    comm_.Device().InjectLineErrors(CommErrorBit::CE_FRAME | CommErrorBit::CE_RXPARITY);
    RunUntilLogged(1);
    EXPECT_EQ(log_, std::vector<std::string>{"Error"});
    EXPECT_EQ(errors_, std::vector<int>{0x000C});
}

TEST_F(CommEventsTest, BytesAlreadyReadFireNoRxChar) {
    comm_.Open();
    LeaveADispatchWaiting();
    char buffer[8];
    EXPECT_EQ(comm_.ReadBuf(buffer, sizeof buffer), 1);
    RunUntilLogged(1);
    EXPECT_TRUE(log_.empty()) << log_.front();
}

TEST_F(CommEventsTest, BytesThatArriveWhileTheHandlersAreBusyAreCountedTogether) {
    comm_.Open();
    LeaveADispatchWaiting();
    comm_.Machine().Write("BCDE", 4, 0, written_);
    RunUntilLogged(1);
    ASSERT_FALSE(counts_.empty());
    EXPECT_EQ(counts_.front(), 5);
}

TEST_F(CommEventsTest, ClosingFromOnRxCharSkipsTheRestOfThatResult) {
    comm_.OnRxChar = [this](TVaCustomComm& sender, int) {
        log_.push_back("RxChar");
        sender.Close();
    };
    comm_.Open();
    LeaveADispatchWaiting();
    comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
    handOver_.RunPending();
    RunUntilLogged(2);
    EXPECT_EQ(log_, std::vector<std::string>{"RxChar"});
    EXPECT_FALSE(comm_.Active());
}

TEST_F(CommEventsTest, ClosingFromOnCtsStillFiresTheLaterEventsOfThatResult) {
    bool ctsSeenOpen = false;
    bool dsrSeenOpen = true;
    comm_.OnCts = [&](TVaCustomComm& sender) {
        log_.push_back("Cts");
        ctsSeenOpen = sender.Cts();
        sender.Close();
    };
    comm_.OnDsr = [&](TVaCustomComm& sender) {
        log_.push_back("Dsr");
        dsrSeenOpen = sender.Dsr();
    };
    comm_.Open();
    LeaveADispatchWaiting();
    comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
    comm_.Machine().EscapeFunction(EscapeCode::SETDTR);
    char buffer[8];
    comm_.ReadBuf(buffer, sizeof buffer);
    handOver_.RunPending();
    RunUntilLogged(3);
    EXPECT_EQ(log_, (std::vector<std::string>{"Cts", "Dsr", "Rlsd"}));
    EXPECT_TRUE(ctsSeenOpen);
    EXPECT_FALSE(dsrSeenOpen) << "a closed port reported DSR";
}

TEST_F(CommEventsTest, NoEventFiresAfterCloseReturns) {
    comm_.Open();
    LeaveADispatchWaiting();
    comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
    comm_.Close();
    RunUntilLogged(1);
    EXPECT_TRUE(log_.empty());

    comm_.Reconnect();
    comm_.Open();
    comm_.Machine().Write("B", 1, 0, written_);
    RunUntilLogged(1);
    EXPECT_EQ(log_, std::vector<std::string>{"RxChar"}) << "a reopened port reports again";
}

TEST_F(CommEventsTest, EventsOutsideMonitorEventsNeverFire) {
    comm_.SetMonitorEvents({ceCts});
    comm_.Open();
    comm_.Machine().Write("A%", 2, 0, written_);
    comm_.Machine().EscapeFunction(EscapeCode::SETDTR);
    comm_.Device().InjectLineErrors(CommErrorBit::CE_OVERRUN);
    RunUntilLogged(1);
    EXPECT_TRUE(log_.empty());
    comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
    RunUntilLogged(1);
    EXPECT_EQ(log_, std::vector<std::string>{"Cts"});
}

TEST_F(CommEventsTest, AnEmptyEventSetFiresNothing) {
    NullModemComm comm(handOver_);
    comm.OnRxChar = [this](TVaCustomComm&, int) { log_.push_back("RxChar"); };
    comm.Open();
    comm.Machine().Write("A", 1, 0, written_);
    EXPECT_FALSE(handOver_.WaitForPost(100ms));
    EXPECT_TRUE(log_.empty());
}

TEST_F(CommEventsTest, AnErrorInAHandlerReachesTheHostAndEventsGoOn) {
    comm_.OnRxChar = [this](TVaCustomComm&, int) {
        log_.push_back("RxChar");
        throw EVaCommError("handler failed");
    };
    comm_.Open();
    comm_.Machine().Write("A", 1, 0, written_);
    RunUntilLogged(1);
    char buffer[8];
    comm_.ReadBuf(buffer, sizeof buffer);
    comm_.Machine().Write("B", 1, 0, written_);
    RunUntilLogged(2);
    EXPECT_EQ(log_, (std::vector<std::string>{"RxChar", "RxChar"}));
    EXPECT_EQ(handOver_.Errors, (std::vector<std::string>{"handler failed", "handler failed"}));
}

TEST_F(CommEventsTest, AnOnOpenFailureUndoesTheOpen) {
    comm_.OnOpen = [](TVaCustomComm&) { throw EVaCommError("open refused"); };
    EXPECT_THROW(comm_.Open(), EVaCommError);
    EXPECT_FALSE(comm_.Active());
    comm_.OnOpen = nullptr;
    comm_.Reconnect();
    comm_.Open();
    comm_.Machine().Write("A", 1, 0, written_);
    RunUntilLogged(1);
    EXPECT_EQ(log_, std::vector<std::string>{"RxChar"});
}

// A control that holds CTS low stops the port: the write times out and the
// byte is neither lost nor sent twice once CTS comes on.
TEST_F(CommEventsTest, RtsCtsFlowHoldsAWriteUntilCtsComesOn) {
    comm_.SetFlowControl(fcRtsCts);
    comm_.SetWriteTimeout(50);
    comm_.Open();
    const char byte = 'G';
    EXPECT_EQ(comm_.WriteBuf(&byte, 1), 0);
    EXPECT_EQ(comm_.Device().Written(), "");
    comm_.Machine().EscapeFunction(EscapeCode::SETRTS);
    EXPECT_TRUE(comm_.GetModemState(1));
    const char next = '1';
    EXPECT_EQ(comm_.WriteBuf(&next, 1), 1);
    EXPECT_EQ(comm_.Device().Written(), "G1");
}

TEST_F(CommEventsTest, ModemLinesFollowTheOtherEnd) {
    comm_.Open();
    comm_.SetDTR(true);
    comm_.SetRTS(true);
    EXPECT_TRUE(comm_.Device().Dtr());
    EXPECT_TRUE(comm_.Device().Rts());
    comm_.Machine().EscapeFunction(EscapeCode::SETDTR);
    EXPECT_EQ(comm_.GetModemStatus(), ModemStatusBit::MS_DSR_ON | ModemStatusBit::MS_RLSD_ON);
    EXPECT_FALSE(comm_.GetModemState(1));
    EXPECT_TRUE(comm_.GetModemState(2));
    EXPECT_FALSE(comm_.GetModemState(3));
    EXPECT_TRUE(comm_.GetModemState(4));
    EXPECT_FALSE(comm_.GetModemState(5));
    comm_.SetDTR(false);
    EXPECT_FALSE(comm_.Device().Dtr());
}

} // namespace
} // namespace feedrail
