#pragma once

#include "serial/TVaCustomComm.h"

#include <cstdint>

namespace feedrail {

// Tells the machine that Feedrail is ready, as a send or a receive under
// Xon/Xoff does at its start: RTS and DTR raised, the transmitter let go
// (unless `releaseHold` is false: an answer to a request keeps an XOFF the
// machine sent after its XON), and XON written twice, one byte at a time.
void SignalReady(TVaCustomComm& port, bool releaseHold = true);

// Makes the line ready to receive a program in the handshake `handshake`:
// DTR raised, RTS raised and handed to the port under RTS/CTS, and the
// ready signal above under Xon/Xoff.
void SignalReceiveReady(TVaCustomComm& port, std::int32_t handshake);

} // namespace feedrail
