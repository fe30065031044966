#include "transfer/LineLoss.h"

#include "serial/EVaCommError.h"
#include "serial/device/DevicePath.h"

namespace feedrail {

LineLoss::LineLoss(TVaCustomComm& port, SendTransfer& send, ReceiveTransfer& receive,
                   Automation& automation, LineLossHosts hosts)
    : port_(port), send_(send), receive_(receive), automation_(automation),
      hosts_(std::move(hosts)) {}

void LineLoss::Comm1Error(int errors) {
    const auto flags = static_cast<std::uint32_t>(errors);
    if ((flags & ~CommErrorBit::CE_HANGUP) != 0) {
        receive_.Comm1Error(static_cast<int>(flags & ~CommErrorBit::CE_HANGUP));
    }
    if ((flags & CommErrorBit::CE_HANGUP) != 0) {
        LineLost();
    }
}

std::string LineLoss::PortName() const {
    return PortTitle(port_.GetDeviceName());
}

std::string LineLoss::LostText() const {
    const std::string reason = port_.GoneReason();
    if (!reason.empty()) {
        return "The connection to " + PortName() + " is lost: " + reason + ".";
    }
    if (port_.Opened().Device == PortName()) {
        return "The port " + PortName() + " is gone: unplugged or switched off?";
    }
    return "The port " + lostDevice_ + " (" + PortName() + ") is gone: unplugged or switched off?";
}

void LineLoss::LineLost() {
    lostPath_ = port_.Opened().Path;
    lostDevice_ = port_.Opened().Device;
    lostText_ = LostText();
    receive_.LineLost();
    send_.LineLost(lostText_);
    automation_.LineLost(lostPath_);
    try {
        port_.Close();
    } catch (const EVaCommError&) {
        // The device is gone; its descriptor is closed either way.
    }
    hosts_.Status.ShowStatus(lostText_);
    if (automation_.Settings().Listens() && !retrying_) {
        retrying_ = true;
        hosts_.Ui.After(backoff_.Failed(), [this] { Retry(); });
    }
}

// An operator's transfer or another machine opens the port itself; the
// retries then stop.
void LineLoss::Retry() {
    retrying_ = false;
    const TransferPhase phase = hosts_.Session.Phase();
    if (port_.Active() || (phase != TransferPhase::Idle && phase != TransferPhase::Starting) ||
        !automation_.Settings().Listens()) {
        // Opened another way: the line is up again as far as the next loss
        // is concerned.
        if (port_.Active()) {
            backoff_.Up();
        }
        return;
    }
    hosts_.ReopenPort();
    if (port_.Active()) {
        backoff_.Up();
        automation_.LineBack(lostPath_);
        const bool named = port_.Opened().Device == PortName();
        hosts_.Status.ShowStatus(
            "The port " + (named ? PortName() : port_.Opened().Device + " (" + PortName() + ")") +
            " is back");
        return;
    }
    // The same words at every try: a journal says them once.
    hosts_.Status.ShowStatus(lostText_ + " Trying again until it is back.");
    retrying_ = true;
    hosts_.Ui.After(backoff_.Failed(), [this] { Retry(); });
}

} // namespace feedrail
