#include "support/NullModemComm.h"

#include "support/NullModemPair.h"

namespace feedrail::test {

NullModemComm::NullModemComm(EventHandOver& handOver) : TVaCustomComm(handOver) {
    Reconnect();
}

void NullModemComm::Reconnect() {
    const NullModemPair pair;
    device_ = pair.A();
    machine_ = pair.B();
}

} // namespace feedrail::test
