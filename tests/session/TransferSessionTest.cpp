#include "session/TransferSession.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace feedrail {
namespace {

using Phase = TransferPhase;
using StopAction = TransferSession::StopAction;

// A session brought into each phase the way the window gets there.
struct Reach {
    Phase phase;
    std::function<void(TransferSession&)> steps;
};

const Reach Phases[] = {
    {Phase::Starting, [](TransferSession&) {}},
    {Phase::Idle, [](TransferSession& s) { s.PortOpened(); }},
    {Phase::SendRequested,
     [](TransferSession& s) {
         s.PortOpened();
         s.RequestSend(true);
     }},
    {Phase::WaitingForRemoteStart,
     [](TransferSession& s) {
         s.PortOpened();
         s.RequestSend(true);
         s.PortOpened();
         s.WaitForMachine();
     }},
    {Phase::Sending,
     [](TransferSession& s) {
         s.PortOpened();
         s.RequestSend(true);
         s.PortOpened();
         s.SendRuns();
     }},
    {Phase::ReceiveRequested,
     [](TransferSession& s) {
         s.PortOpened();
         s.RequestReceive();
     }},
    {Phase::Receiving,
     [](TransferSession& s) {
         s.PortOpened();
         s.RequestReceive();
         s.PortOpened();
         s.ReceiveRuns();
     }},
    {Phase::StopRequested,
     [](TransferSession& s) {
         s.PortOpened();
         s.RequestStop();
     }},
    {Phase::Closing, [](TransferSession& s) { s.Close(); }},
};

const Reach& From(Phase phase) {
    for (const Reach& reach : Phases) {
        if (reach.phase == phase) {
            return reach;
        }
    }
    throw std::logic_error("no way to the phase");
}

TEST(TransferSessionTest, EveryPhaseIsReachedAsTheWindowReachesIt) {
    for (const Reach& reach : Phases) {
        RunState state;
        TransferSession session(state);
        reach.steps(session);
        EXPECT_EQ(session.Phase(), reach.phase) << PhaseName(reach.phase);
        EXPECT_EQ(state.WaitingForRemoteStart, reach.phase == Phase::WaitingForRemoteStart);
        EXPECT_EQ(state.Closing, reach.phase == Phase::Closing);
        EXPECT_EQ(state.Receiving, reach.phase == Phase::Receiving);
    }
}

// The transition table: from each phase, each event, the phase it leads to.
TEST(TransferSessionTest, TheTransitionTable) {
    using Event = std::function<void(TransferSession&)>;
    const Event send = [](TransferSession& s) { s.RequestSend(true); };
    const Event receive = [](TransferSession& s) { s.RequestReceive(); };
    const Event tick = [](TransferSession& s) { s.PortOpened(); };
    const Event ready = [](TransferSession& s) { s.SendRuns(); };
    const Event ended = [](TransferSession& s) { s.TransferEnded(); };
    const Event stop = [](TransferSession& s) { s.RequestStop(); };
    const Event select = [](TransferSession& s) { s.SelectMachine(); };
    const Event close = [](TransferSession& s) { s.Close(); };
    const struct {
        const char* what;
        Phase from;
        Event event;
        Phase to;
    } cases[] = {
        {"first tick", Phase::Starting, tick, Phase::Idle},
        {"send", Phase::Idle, send, Phase::SendRequested},
        {"send after stop", Phase::StopRequested, send, Phase::SendRequested},
        {"send refused while receiving", Phase::Receiving, send, Phase::Receiving},
        {"send refused while waiting", Phase::WaitingForRemoteStart, send,
         Phase::WaitingForRemoteStart},
        {"tick keeps the request for the send start", Phase::SendRequested, tick,
         Phase::SendRequested},
        {"XON starts the send", Phase::WaitingForRemoteStart, ready, Phase::Sending},
        {"send finished", Phase::Sending, ended, Phase::Idle},
        {"stop while waiting", Phase::WaitingForRemoteStart, stop, Phase::StopRequested},
        {"stop cancels a running send", Phase::Sending, stop, Phase::Sending},
        {"receive", Phase::Idle, receive, Phase::ReceiveRequested},
        {"receive refused while sending", Phase::Sending, receive, Phase::Sending},
        {"end of tape", Phase::Receiving, ended, Phase::Idle},
        {"stop a receive", Phase::Receiving, stop, Phase::StopRequested},
        {"stop's tick", Phase::StopRequested, tick, Phase::Idle},
        {"clear", Phase::Idle, stop, Phase::StopRequested},
        {"machine selection", Phase::Idle, select, Phase::Starting},
        {"machine selection refused while receiving", Phase::Receiving, select, Phase::Receiving},
        {"machine selection refused while sending", Phase::Sending, select, Phase::Sending},
        {"close while sending", Phase::Sending, close, Phase::Closing},
        {"close while receiving", Phase::Receiving, close, Phase::Closing},
        {"nothing after closing", Phase::Closing, send, Phase::Closing},
        {"no tick after closing", Phase::Closing, tick, Phase::Closing},
        {"an end outside a transfer", Phase::Idle, ended, Phase::Idle},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunState state;
        TransferSession session(state);
        From(c.from).steps(session);
        c.event(session);
        EXPECT_EQ(session.Phase(), c.to) << PhaseName(session.Phase());
    }
}

TEST(TransferSessionTest, TheTickCarriesOutOneRequestInPriorityAndClearsItsFlag) {
    RunState state;
    TransferSession session(state);
    session.PortOpened();
    session.RequestSend(true);
    EXPECT_TRUE(state.SendPending);
    EXPECT_EQ(session.PortOpened(), TransferSession::Pending::Send);
    EXPECT_FALSE(state.SendPending);
    EXPECT_EQ(session.RequestStop(), StopAction::EndTransfer);
    EXPECT_TRUE(state.StopPending);
    EXPECT_EQ(session.PortOpened(), TransferSession::Pending::None);
    EXPECT_FALSE(state.StopPending);
    session.RequestReceive();
    EXPECT_EQ(session.PortOpened(), TransferSession::Pending::Receive);
    EXPECT_FALSE(state.ReceivePending);
}

TEST(TransferSessionTest, StopDoesWhatThePhaseCallsFor) {
    const struct {
        Phase from;
        StopAction action;
        bool cancel;
    } cases[] = {
        {Phase::Idle, StopAction::Clear, false},
        {Phase::StopRequested, StopAction::Clear, false},
        {Phase::SendRequested, StopAction::EndTransfer, false},
        {Phase::WaitingForRemoteStart, StopAction::EndTransfer, false},
        {Phase::Sending, StopAction::CancelSend, false},
        {Phase::Receiving, StopAction::EndTransfer, false},
        {Phase::Closing, StopAction::Nothing, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(PhaseName(c.from));
        RunState state;
        TransferSession session(state);
        From(c.from).steps(session);
        state.CancelRequested = c.from == Phase::Closing;
        EXPECT_EQ(session.RequestStop(), c.action);
        EXPECT_EQ(state.CancelRequested, c.cancel);
        EXPECT_FALSE(state.WaitingForRemoteStart);
    }
}

// During a send nothing but Stop and Esc; during a receive nothing that
// touches the editor or the line, another machine's included; busy work shuts
// out everything else.
TEST(TransferSessionTest, CommandsAllowedInEachPhase) {
    const Command all[] = {Command::Send,        Command::Receive, Command::SelectMachine,
                           Command::EditProgram, Command::Dialog,  Command::Glance};
    const struct {
        Phase phase;
        bool busy;
        std::string allowed;
    } cases[] = {
        {Phase::Starting, false, "SRMEDG"},
        {Phase::Idle, false, "SRMEDG"},
        {Phase::Idle, true, ""},
        {Phase::StopRequested, false, "SRMEDG"},
        {Phase::SendRequested, false, ""},
        {Phase::WaitingForRemoteStart, false, ""},
        {Phase::Sending, false, ""},
        {Phase::ReceiveRequested, false, "DG"},
        {Phase::Receiving, false, "DG"},
        {Phase::Closing, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(PhaseName(c.phase)) + (c.busy ? ", busy" : ""));
        RunState state;
        TransferSession session(state);
        From(c.phase).steps(session);
        std::optional<TransferSession::BusyScope> busy;
        if (c.busy) {
            busy.emplace(session);
        }
        std::string allowed;
        for (std::size_t i = 0; i < std::size(all); ++i) {
            if (session.Allows(all[i])) {
                allowed += "SRMEDG"[i];
            }
            EXPECT_EQ(session.WhyRefused(all[i]).empty(), session.Allows(all[i]));
        }
        EXPECT_EQ(allowed, c.allowed);
        EXPECT_EQ(session.Idle(), c.phase == Phase::Idle && !c.busy);
    }
}

TEST(TransferSessionTest, ObserversHearEveryTransitionAndTheEndOfBusyWork) {
    RunState state;
    TransferSession session(state);
    std::vector<std::string> heard;
    session.OnChange([&] {
        heard.push_back(std::string(PhaseName(session.Phase())) + (session.Busy() ? "+" : ""));
    });
    session.PortOpened();
    {
        const TransferSession::BusyScope busy(session);
        EXPECT_FALSE(session.RequestSend(true)) << "no send during busy work";
    }
    session.RequestSend(true);
    EXPECT_EQ(heard, (std::vector<std::string>{"Idle", "Idle+", "Idle", "Send requested"}));
}

} // namespace
} // namespace feedrail
