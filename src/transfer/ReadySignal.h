#pragma once

#include "serial/TVaCustomComm.h"

namespace feedrail {

// Tells the machine that Feedrail is ready, as a send or a receive under
// Xon/Xoff does at its start: RTS and DTR raised, the transmitter let go, and
// XON written twice, one byte at a time.
void SignalReady(TVaCustomComm& port);

} // namespace feedrail
