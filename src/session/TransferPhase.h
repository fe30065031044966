#pragma once

namespace feedrail {

// What the window is doing with the line, one phase at a time.
enum class TransferPhase {
    // The port is closed and the next port-open tick opens it: at program
    // start and after a machine selection.
    Starting,
    Idle,
    SendRequested,
    // Under Xon/Xoff the port is open and the machine's XON starts the send.
    WaitingForRemoteStart,
    Sending,
    ReceiveRequested,
    Receiving,
    StopRequested,
    Closing,
};

// The phase's name, for messages and test output.
const char* PhaseName(TransferPhase phase);

} // namespace feedrail
