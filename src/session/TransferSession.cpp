#include "session/TransferSession.h"

namespace feedrail {

const char* PhaseName(TransferPhase phase) {
    switch (phase) {
    case TransferPhase::Starting:
        return "Starting";
    case TransferPhase::Idle:
        return "Idle";
    case TransferPhase::SendRequested:
        return "Send requested";
    case TransferPhase::WaitingForRemoteStart:
        return "Waiting for remote start";
    case TransferPhase::Sending:
        return "Sending";
    case TransferPhase::ReceiveRequested:
        return "Receive requested";
    case TransferPhase::Receiving:
        return "Receiving";
    case TransferPhase::StopRequested:
        return "Stop requested";
    case TransferPhase::Closing:
        return "Closing";
    }
    return "?";
}

bool TransferSession::Sending() const {
    return phase_ == TransferPhase::SendRequested ||
           phase_ == TransferPhase::WaitingForRemoteStart || phase_ == TransferPhase::Sending;
}

bool TransferSession::Receiving() const {
    return phase_ == TransferPhase::ReceiveRequested || phase_ == TransferPhase::Receiving;
}

bool TransferSession::Resting() const {
    return phase_ == TransferPhase::Starting || phase_ == TransferPhase::Idle ||
           phase_ == TransferPhase::StopRequested;
}

bool TransferSession::Allows(Command command) const {
    if (phase_ == TransferPhase::Closing || busy_ > 0 || Sending()) {
        return false;
    }
    // Another machine would move the receive to its line, mid-program.
    if (Receiving()) {
        return command == Command::Dialog || command == Command::Glance;
    }
    return true;
}

std::string TransferSession::WhyRefused(Command command) const {
    if (Allows(command)) {
        return {};
    }
    if (phase_ == TransferPhase::Closing) {
        return "Feedrail is closing";
    }
    if (busy_ > 0) {
        return "Busy: wait until the task under way has ended";
    }
    if (Sending()) {
        return "Not while sending: press Esc or Stop first";
    }
    return "Not while receiving: press Stop first";
}

bool TransferSession::RequestSend(bool reopenPort) {
    if (!Resting() || busy_ > 0) {
        return false;
    }
    state_.Receiving = false;
    state_.WaitingForRemoteStart = false;
    state_.StopPending = false;
    state_.ReceivePending = false;
    state_.SendPending = reopenPort;
    Enter(TransferPhase::SendRequested);
    return true;
}

void TransferSession::WaitForMachine() {
    if (phase_ == TransferPhase::SendRequested) {
        state_.WaitingForRemoteStart = true;
        Enter(TransferPhase::WaitingForRemoteStart);
    }
}

void TransferSession::SendRuns() {
    if (phase_ == TransferPhase::SendRequested || phase_ == TransferPhase::WaitingForRemoteStart) {
        state_.WaitingForRemoteStart = false;
        Enter(TransferPhase::Sending);
    }
}

bool TransferSession::RequestReceive() {
    if (!Resting() || busy_ > 0) {
        return false;
    }
    state_.WaitingForRemoteStart = false;
    state_.StopPending = false;
    state_.SendPending = false;
    state_.ReceivePending = true;
    Enter(TransferPhase::ReceiveRequested);
    return true;
}

void TransferSession::ReceiveRuns() {
    if (phase_ == TransferPhase::ReceiveRequested) {
        state_.Receiving = true;
        Enter(TransferPhase::Receiving);
    }
}

void TransferSession::TransferEnded() {
    if (Transferring()) {
        // A send cancelled before the port reopened must not start with it.
        state_.SendPending = false;
        state_.ReceivePending = false;
        state_.WaitingForRemoteStart = false;
        state_.Receiving = false;
        Enter(TransferPhase::Idle);
    }
}

TransferSession::Pending TransferSession::PortOpened() {
    Pending pending = Pending::None;
    if (phase_ == TransferPhase::Closing) {
        return pending;
    }
    if (state_.SendPending) {
        state_.SendPending = false;
        pending = Pending::Send;
    } else if (state_.StopPending) {
        state_.StopPending = false;
    } else if (state_.ReceivePending) {
        state_.ReceivePending = false;
        pending = Pending::Receive;
    }
    if (pending == Pending::None && Resting()) {
        Enter(TransferPhase::Idle);
    } else {
        Changed();
    }
    return pending;
}

TransferSession::StopAction TransferSession::RequestStop() {
    if (phase_ == TransferPhase::Closing) {
        return StopAction::Nothing;
    }
    if (phase_ == TransferPhase::Sending) {
        return StopAction::CancelSend;
    }
    const StopAction action = Resting() ? StopAction::Clear : StopAction::EndTransfer;
    state_.ReceivedLines = 1;
    state_.Receiving = false;
    state_.WaitingForRemoteStart = false;
    state_.SendPending = false;
    state_.ReceivePending = false;
    state_.StopPending = true;
    Enter(TransferPhase::StopRequested);
    return action;
}

bool TransferSession::SelectMachine() {
    if (!Resting()) {
        return false;
    }
    Enter(TransferPhase::Starting);
    return true;
}

void TransferSession::Close() {
    state_.Closing = true;
    state_.CancelRequested = true;
    state_.WaitingForRemoteStart = false;
    Enter(TransferPhase::Closing);
}

void TransferSession::Enter(TransferPhase phase) {
    phase_ = phase;
    Changed();
}

// An observer may make the next transition itself; each sees the phase as it
// is when it is called.
void TransferSession::Changed() {
    for (std::size_t i = 0; i < observers_.size(); ++i) {
        observers_[i]();
    }
}

TransferSession::BusyScope::BusyScope(TransferSession& session) : session_(session) {
    ++session_.busy_;
    session_.Changed();
}

TransferSession::BusyScope::~BusyScope() {
    --session_.busy_;
    session_.Changed();
}

} // namespace feedrail
