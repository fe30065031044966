#include "transfer/ReadySignal.h"

#include "common/ControlChars.h"
#include "profiles/ProfileValues.h"

namespace feedrail {

void SignalReady(TVaCustomComm& port, bool releaseHold) {
    port.SetRTS(true);
    port.SetDTR(true);
    if (releaseHold) {
        port.SetXon(true);
    }
    for (int i = 0; i < 2; ++i) {
        port.WriteBuf(&ControlChar::Xon, 1);
    }
}

void SignalReceiveReady(TVaCustomComm& port, std::int32_t handshake) {
    port.SetDTR(true);
    if (handshake == HandshakeRtsCts) {
        port.SetRTS(true);
        port.SetRTSControl(rtsHandshake);
    }
    if (handshake == HandshakeXonXoff) {
        SignalReady(port);
    }
}

} // namespace feedrail
