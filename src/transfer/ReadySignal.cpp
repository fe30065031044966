#include "transfer/ReadySignal.h"

#include "common/ControlChars.h"

namespace feedrail {

void SignalReady(TVaCustomComm& port) {
    port.SetRTS(true);
    port.SetDTR(true);
    port.SetXon(true);
    for (int i = 0; i < 2; ++i) {
        port.WriteBuf(&ControlChar::Xon, 1);
    }
}

} // namespace feedrail
