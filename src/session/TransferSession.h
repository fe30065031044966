#pragma once

#include "session/Command.h"
#include "session/RunState.h"
#include "session/TransferPhase.h"

#include <functional>
#include <string>
#include <vector>

namespace feedrail {

// The one owner of what the window is doing. Every transfer, request and
// piece of busy work (a renumbering, a printout, a modal dialog) enters and
// leaves it, so two activities never mix; the buttons, the automation and
// every command ask it, never a widget. The transitions keep RunState's
// request and transfer flags in step with the phase.
class TransferSession {
public:
    explicit TransferSession(RunState& state) : state_(state) {}

    TransferPhase Phase() const { return phase_; }
    // Nothing runs or waits and no busy work is under way.
    bool Idle() const { return phase_ == TransferPhase::Idle && busy_ == 0; }
    bool Busy() const { return busy_ > 0; }
    // A send or a receive is requested, waits or runs.
    bool Transferring() const { return Sending() || Receiving(); }
    bool Sending() const;
    bool Receiving() const;

    // Whether the command may run now, and in words why not.
    bool Allows(Command command) const;
    std::string WhyRefused(Command command) const;

    // Called after every transition and every change of busy work.
    void OnChange(std::function<void()> observer) { observers_.push_back(std::move(observer)); }

    // A send of the editor's program. With `reopenPort` the port-open tick
    // starts it; without, it starts on the port as it is open (an answer to
    // the machine's request). False when the session refuses it.
    bool RequestSend(bool reopenPort);
    // The send start waits for the machine's XON.
    void WaitForMachine();
    // The send runs.
    void SendRuns();
    bool RequestReceive();
    void ReceiveRuns();
    // A send or receive is over, however it ended.
    void TransferEnded();

    // What the port-open tick carries out, taken from the pending requests.
    enum class Pending { None, Send, Receive };
    // The port has been opened (or failed to open) by the port-open tick.
    Pending PortOpened();

    // The Clear/Stop button. What the window still has to do:
    enum class StopAction {
        // Empty the editor, then close the port and reopen it.
        Clear,
        // The transfer is over: close the port and reopen it.
        EndTransfer,
        // A send runs: SendTransfer::Cancel, which the window calls first,
        // ends it.
        CancelSend,
        Nothing,
    };
    StopAction RequestStop();
    // Machine selection; false during a transfer and while closing.
    bool SelectMachine();
    void Close();

    // Busy work: no request is answered and no other command runs until the
    // scope ends.
    class BusyScope {
    public:
        explicit BusyScope(TransferSession& session);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TransferSession& session_;
    };

private:
    void Enter(TransferPhase phase);
    void Changed();
    // Starting, Idle or Stop requested: no transfer and nothing closing.
    bool Resting() const;

    RunState& state_;
    TransferPhase phase_ = TransferPhase::Starting;
    int busy_ = 0;
    std::vector<std::function<void()>> observers_;
};

} // namespace feedrail
