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

void LineLoss::Comm1Reached() {
    if (awaitingReach_) {
        awaitingReach_ = false;
        Back();
    }
}

std::string LineLoss::PortName() const {
    return PortTitle(port_.GetDeviceName());
}

std::string LineLoss::LostText() const {
    const std::string reason = port_.GoneReason();
    if (!reason.empty()) {
        return "The connection to " + PortName() +
               (port_.Reached() ? " is lost: " : " cannot be made: ") + reason + ".";
    }
    if (port_.Opened().Device == PortName()) {
        return "The port " + PortName() + " is gone: unplugged or switched off?";
    }
    return "The port " + lostDevice_ + " (" + PortName() + ") is gone: unplugged or switched off?";
}

bool LineLoss::RetryFailed() const {
    const TransferPhase phase = hosts_.Session.Phase();
    return awaitingReach_ && !port_.Reached() &&
           (phase == TransferPhase::Idle || phase == TransferPhase::Starting);
}

void LineLoss::LineLost() {
    // The line was lost once, and is said to be once: a retry that cannot
    // reach the device is one more try that failed.
    if (RetryFailed()) {
        awaitingReach_ = false;
        try {
            port_.Close();
        } catch (const EVaCommError&) {
            // Never reached; its descriptor is closed either way.
        }
        TryAgainLater();
        return;
    }
    awaitingReach_ = false;
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
    if (port_.Active() && port_.Connecting()) {
        awaitingReach_ = true;
        return;
    }
    if (port_.Active()) {
        Back();
        return;
    }
    TryAgainLater();
}

void LineLoss::Back() {
    backoff_.Up();
    automation_.LineBack(lostPath_);
    const bool named = port_.Opened().Device == PortName();
    hosts_.Status.ShowStatus(
        "The port " + (named ? PortName() : port_.Opened().Device + " (" + PortName() + ")") +
        " is back");
}

// The same words at every try: a journal says them once.
void LineLoss::TryAgainLater() {
    hosts_.Status.ShowStatus(lostText_ + " Trying again until it is back.");
    retrying_ = true;
    hosts_.Ui.After(backoff_.Failed(), [this] { Retry(); });
}

} // namespace feedrail
