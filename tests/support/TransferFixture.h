#pragma once

#include "session/RunState.h"
#include "support/FakeWindowHost.h"
#include "support/NullModemComm.h"
#include "support/QueueHandOver.h"
#include "transfer/PortSetup.h"
#include "transfer/ReceiveTransfer.h"
#include "transfer/SendTransfer.h"

#include <gtest/gtest.h>
#include <string>

namespace feedrail::test {

// A send and a receive wired as the main window wires them, on a port whose
// other end the test plays as the machine.
class TransferFixture : public ::testing::Test {
protected:
    TransferFixture();

    // Opens the port for a handshake, as the port-open tick does.
    void OpenFor(std::int32_t handshake);
    // Requests a send and starts it on the open port, as the tick does.
    void StartSend();
    void MachineSends(const std::string& bytes);
    // What left the port so far.
    std::string Wire() const { return comm_.Device().Written(); }
    // Runs hand-overs until the receive has processed what the machine sent.
    void Deliver();
    // Whether the status line ever read `status`.
    bool Showed(const std::string& status) const;
    const std::string& LastStatus() const { return host_.Statuses.back(); }

    RunState state_;
    ActiveSettings settings_;
    QueueHandOver handOver_;
    NullModemComm comm_{handOver_};
    FakeWindowHost host_{handOver_, state_};
    SendTransfer send_{state_, settings_, comm_, host_.ForSend()};
    ReceiveTransfer receive_{state_, settings_, comm_, host_.ForReceive(), send_};
};

} // namespace feedrail::test
