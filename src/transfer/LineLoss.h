#pragma once

#include "serial/TVaCustomComm.h"
#include "session/StatusLine.h"
#include "session/TransferSession.h"
#include "session/UiHandOver.h"
#include "transfer/Automation.h"
#include "transfer/ReceiveTransfer.h"
#include "transfer/RetryBackoff.h"
#include "transfer/SendTransfer.h"

#include <chrono>
#include <functional>
#include <string>

namespace feedrail {

// What the line loss needs of the window.
struct LineLossHosts {
    StatusLine& Status;
    UiHandOver& Ui;
    TransferSession& Session;
    // Opens the port with the machine's settings, as the port-open tick does.
    std::function<void()> ReopenPort;
};

// The port's error event: line errors go to the receive; a device that has
// gone (a USB adapter pulled, a control switched off, a simulated one ended)
// ends the transfer without losing what came, closes the port and says so in
// the operator's words. While Auto Receive or Remote Request is on, the port
// is tried again until the device is back, less often the longer it stays
// away or the more often it goes (RetryBackoff).
class LineLoss {
public:
    LineLoss(TVaCustomComm& port, SendTransfer& send, ReceiveTransfer& receive,
             Automation& automation, LineLossHosts hosts);

    void Comm1Error(int errors);
    // The port's device, opened while it could not be reached at once (a
    // network device), is reached.
    void Comm1Reached();
    // The port did not open when the machine was chosen, for `reason`:
    // tried again, as a device that went, while Auto Receive or Remote
    // Request is on.
    void OpenFailed(const std::string& reason);

private:
    void LineLost();
    void Retry();
    // The port is open and reached again.
    void Back();
    void TryAgainLater();
    // The loss is that of a retry's connection that could not be made.
    bool RetryFailed() const;
    std::string PortName() const;
    // Why the line was lost, as the port saw it go.
    LineStatus Lost() const;

    TVaCustomComm& port_;
    SendTransfer& send_;
    ReceiveTransfer& receive_;
    Automation& automation_;
    LineLossHosts hosts_;
    bool retrying_ = false;
    // A retry opened the port, and its device is still being reached.
    bool awaitingReach_ = false;
    RetryBackoff backoff_;
    std::string lostPath_;
    std::string lostDevice_;
    LineStatus lost_;
};

} // namespace feedrail
