#include "transfer/LineLoss.h"

#include "serial/EVaCommError.h"
#include "serial/device/DevicePath.h"

#include <utility>

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

LineStatus LineLoss::Lost() const {
    const std::string reason = port_.GoneReason();
    if (!reason.empty()) {
        return {.Code =
                    port_.Reached() ? StatusCode::ConnectionLost : StatusCode::ConnectionNotMade,
                .Port = PortName(),
                .Reason = reason};
    }
    return {.Code = StatusCode::PortGone, .Port = PortName(), .Device = lostDevice_};
}

bool LineLoss::RetryFailed() const {
    const TransferPhase phase = hosts_.Session.Phase();
    return awaitingReach_ && !port_.Reached() &&
           (phase == TransferPhase::Idle || phase == TransferPhase::Starting);
}

void LineLoss::OpenFailed(const std::string& reason) {
    if (!automation_.Settings().Listens()) {
        return;
    }
    lost_ = {.Code = StatusCode::PortNotOpened, .Port = PortName(), .Reason = reason};
    lostPath_.clear();
    lostDevice_.clear();
    TryAgainLater();
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
    lost_ = Lost();
    // Said as the retries will say it, also by a send it ends, so that a
    // journal has it once.
    LineStatus shown = lost_;
    shown.Retrying = automation_.Settings().Listens();
    receive_.LineLost();
    send_.LineLost(shown);
    automation_.LineLost(lostPath_);
    try {
        port_.Close();
    } catch (const EVaCommError&) {
        // The device is gone; its descriptor is closed either way.
    }
    hosts_.Status.ShowStatus(shown);
    if (shown.Retrying && !retrying_) {
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

// A port that never opened was not lost: its opening says Ready itself.
void LineLoss::Back() {
    backoff_.Up();
    if (lost_.Code == StatusCode::PortNotOpened) {
        return;
    }
    automation_.LineBack(lostPath_);
    hosts_.Status.ShowStatus(
        {.Code = StatusCode::PortBack, .Port = PortName(), .Device = port_.Opened().Device});
}

// The same status at every try: a journal says it once. One try waits at a
// time, however often the port fails meanwhile.
void LineLoss::TryAgainLater() {
    LineStatus retrying = lost_;
    retrying.Retrying = true;
    hosts_.Status.ShowStatus(retrying);
    if (!std::exchange(retrying_, true)) {
        hosts_.Ui.After(backoff_.Failed(), [this] { Retry(); });
    }
}

} // namespace feedrail
