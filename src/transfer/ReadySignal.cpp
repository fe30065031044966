#include "transfer/ReadySignal.h"

namespace feedrail {

void SignalReady(TVaCustomComm& port) {
    constexpr char xon = 0x11;
    port.SetRTS(true);
    port.SetDTR(true);
    port.SetXon(true);
    for (int i = 0; i < 2; ++i) {
        port.WriteBuf(&xon, 1);
    }
}

} // namespace feedrail
