#include "serial/device/NetworkSerialDevice.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <sys/socket.h>
#include <utility>

// The network device's pass on its shared line thread: how the connection is
// reached, what it reads from the connection, the server's answers and
// reports, and how output reaches the connection.

namespace feedrail {
namespace {

using namespace CommEventBit;

// RFC 2217 line-state bits.
constexpr std::uint8_t OverrunError = 0x02;
constexpr std::uint8_t ParityError = 0x04;
constexpr std::uint8_t FramingError = 0x08;
constexpr std::uint8_t BreakDetected = 0x10;
constexpr std::uint8_t TransmitterEmpty = 0x40;
constexpr std::uint8_t ReportLineErrors = OverrunError | ParityError | FramingError | BreakDetected;

// How often the line thread looks whether the server has acknowledged the
// last bytes, once they are off the paced wire.
constexpr auto AcknowledgementPoll = std::chrono::milliseconds(10);

std::uint32_t Value32(const std::string& value) {
    std::uint32_t result = 0;
    for (const char byte : value.substr(0, 4)) {
        result = (result << 8) | static_cast<unsigned char>(byte);
    }
    return value.size() >= 4 ? result : 0;
}

} // namespace

LineWait NetworkSerialDevice::LinePass(bool lineGone) {
    if (WaitersFirst(inputCutAt_, Clock::now())) {
        return {.Due = Clock::now() + FloodPause};
    }
    const std::lock_guard lock(mutex_);
    if (closed_ || Stopping()) {
        return {};
    }
    const Clock::time_point now = Clock::now();
    const std::size_t kept = input_.size();
    retiredConnection_.reset();
    // What the connecting socket reported is the connection's to find.
    const bool connecting = stage_ == Stage::Connecting;
    if (connecting && !lost_) {
        Reach(now);
    } else if (connection_) {
        retiredConnection_ = std::move(connection_);
    }
    if (lineGone && !connecting) {
        TakeLineGone();
    }
    DrainInput();
    CheckNegotiation(now);
    if (const int error = PushPending(now)) {
        MarkLost(error);
    }
    CheckTxEmpty(now);
    NotifyWaiters();
    // The rest of a flood waits for the thread's other lines' passes.
    if (inputCut_) {
        inputCutAt_ = now;
        return {.Due = now};
    }
    LineWait wait = NextWait(now);
    if (wait.Input && !wait.Output && Gathering(input_.size() > kept)) {
        wait.Input = false;
        wait.Due = std::min(wait.Due, now + InputGathering());
    }
    return wait;
}

void NetworkSerialDevice::Reach(Clock::time_point now) {
    connection_->Step(now);
    switch (connection_->Current()) {
    case TcpConnection::State::Looking:
    case TcpConnection::State::Connecting:
        return;
    case TcpConnection::State::Failed:
        Fail(connection_->Failure(), ENOTCONN);
        break;
    case TcpConnection::State::Connected:
        socket_ = connection_->TakeSocket();
        if (comPort_) {
            stage_ = Stage::Negotiating;
            negotiationEnd_ = now + NegotiationTimeout;
        } else {
            ConnectionUp();
        }
        break;
    }
    retiredConnection_ = std::move(connection_);
}

void NetworkSerialDevice::TakeLineGone() {
    DrainInput();
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, &error, &size);
    MarkLost(error);
}

// A connection given up is looked at once more, to close what it watched.
LineWait NetworkSerialDevice::NextWait(Clock::time_point now) const {
    if (connection_) {
        const bool output = connection_->WantsOutput();
        return {.Line = connection_->Descriptor(),
                .Input = !output,
                .Output = output,
                .Due = connection_->Due()};
    }
    const Clock::duration limit = WaitLimit(now);
    LineWait wait{.Due = limit == Clock::duration::max() ? Clock::time_point::max() : now + limit};
    if (retiredConnection_) {
        wait.Due = now;
    }
    if (!lost_ && socket_.Valid()) {
        wait.Line = socket_.Get();
        wait.Input = input_.size() < inputLimit_;
        wait.Output = !link_.Outgoing().empty();
    }
    return wait;
}

void NetworkSerialDevice::MarkLost(int cause) {
    if (!lost_) {
        // A control that hangs up once it has its program leaves a send that
        // has been delivered: that stays known after the connection is gone.
        deliveredAtLoss_ = pending_.empty() && link_.Outgoing().empty() && Unacknowledged() == 0;
        lost_ = true;
        lostCause_ = cause;
        errors_ |= CommErrorBit::CE_HANGUP;
        events_ |= EV_ERR;
        changed_.notify_all();
        NotifyIfEvents();
    }
}

void NetworkSerialDevice::Fail(std::string reason, int cause) {
    if (!lost_) {
        lostReason_ = std::move(reason);
        MarkLost(cause);
    }
}

// At most InputBatch bytes at a time, so that the lock is held for a bounded
// while whatever the server sends: a server that sends only commands fills
// no input queue, and would otherwise be read for as long as it sends.
void NetworkSerialDevice::DrainInput() {
    std::array<char, 512> buffer{};
    std::size_t taken = 0;
    inputCut_ = false;
    while (socket_.Valid() && !closed_ && !lost_ && !Stopping() && input_.size() < inputLimit_) {
        if (taken >= InputBatch) {
            inputCut_ = true;
            break;
        }
        // Decoding never makes more data than it is given.
        const std::size_t room = std::min(buffer.size(), inputLimit_ - input_.size());
        const ssize_t count = ::recv(socket_.Get(), buffer.data(), room, MSG_DONTWAIT);
        if (count == 0) {
            MarkLost(0);
        } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
            MarkLost(errno);
        }
        if (count <= 0) {
            break;
        }
        taken += static_cast<std::size_t>(count);
        TakeReceived(buffer.data(), static_cast<std::size_t>(count));
    }
    if (input_.size() >= inputLimit_ && !inputSuspended_ && ComPort() && !lost_) {
        inputSuspended_ = true;
        Request({ComPort::FlowControlSuspend, {}});
    }
}

void NetworkSerialDevice::TakeReceived(const char* bytes, std::size_t count) {
    if (!comPort_) {
        Tapped(false, bytes, count);
        for (std::size_t i = 0; i < count; ++i) {
            TakeInputByte(bytes[i], true);
        }
        return;
    }
    // A report (a line going off) applies from its place in the stream on.
    // Cut at every IAC, a piece holds at most one report, ahead of its data.
    const auto* const end = bytes + count;
    const Clock::time_point now = Clock::now();
    for (const char* piece = bytes; piece < end && !lost_;) {
        const char* next = std::find(piece + 1, end, static_cast<char>(Telnet::IAC));
        std::string data;
        std::vector<TelnetItem> reports;
        link_.Feed(piece, static_cast<std::size_t>(next - piece), data, reports, now);
        for (const TelnetItem& report : reports) {
            TakeReport(report);
        }
        if (!link_.Failure().empty()) {
            // What comes after the fault is not the server's data.
            Fail(link_.Failure());
            break;
        }
        const bool dsrOn = (modemState_ & ModemStatusBit::MS_DSR_ON) != 0;
        Tapped(false, data.data(), data.size());
        for (const char byte : data) {
            TakeInputByte(byte, dsrOn);
        }
        piece = next;
    }
}

void NetworkSerialDevice::TakeReport(const TelnetItem& report) {
    if (report.option == Telnet::ComPortOption && !report.payload.empty()) {
        TakeComPortReply(report.payload);
    }
}

void NetworkSerialDevice::TakeComPortReply(const std::string& payload) {
    const auto code = static_cast<std::uint8_t>(payload.front());
    if (code < ComPort::ServerOffset) {
        return;
    }
    const auto command = static_cast<std::uint8_t>(code - ComPort::ServerOffset);
    const std::string value = payload.substr(1);
    switch (command) {
    case ComPort::SetBaudRate:
        TakeRateAnswer(Value32(value));
        break;
    case ComPort::NotifyModemState:
        if (!value.empty()) {
            TakeModemState(static_cast<std::uint8_t>(value.front()));
        }
        break;
    case ComPort::NotifyLineState:
        if (!value.empty()) {
            const auto state = static_cast<std::uint8_t>(value.front());
            errors_ |= ((state & OverrunError) != 0 ? CommErrorBit::CE_OVERRUN : 0) |
                       ((state & ParityError) != 0 ? CommErrorBit::CE_RXPARITY : 0) |
                       ((state & FramingError) != 0 ? CommErrorBit::CE_FRAME : 0);
            events_ |= (state & (OverrunError | ParityError | FramingError)) != 0 ? EV_ERR : 0;
            events_ |= (state & BreakDetected) != 0 ? EV_BREAK : 0;
            if ((state & TransmitterEmpty) != 0 && emptyReportAsked_ && !serverOutputEmpty_) {
                serverOutputEmpty_ = true;
                // Its every later change, at each pause of the line, is of no use.
                Request({ComPort::SetLineStateMask,
                         std::string(1, static_cast<char>(ReportLineErrors))});
            }
        }
        break;
    case ComPort::FlowControlSuspend:
    case ComPort::FlowControlResume:
        serverSuspended_ = command == ComPort::FlowControlSuspend;
        break;
    default:
        break;
    }
    changed_.notify_all();
    NotifyIfEvents();
}

void NetworkSerialDevice::TakeModemState(std::uint8_t state) {
    using namespace ModemStatusBit;
    const std::uint8_t changed = modemState_ ^ state;
    modemState_ = state;
    events_ |= ((changed & MS_CTS_ON) != 0 ? EV_CTS : 0) |
               ((changed & MS_DSR_ON) != 0 ? EV_DSR : 0) |
               ((changed & MS_RLSD_ON) != 0 ? EV_RLSD : 0) |
               ((changed & state & MS_RING_ON) != 0 ? EV_RING : 0);
}

bool NetworkSerialDevice::OutputAllowed() const {
    // CTS is the server's to follow under hardware flow control.
    const OutputLineState state{.CtsOn = true,
                                .DsrOn = (modemState_ & ModemStatusBit::MS_DSR_ON) != 0,
                                .XoffReceived = xoffReceived_,
                                .XoffForced = xoffForced_ || serverSuspended_};
    return HoldReasons(settings_, state) == 0;
}

int NetworkSerialDevice::PushPending(Clock::time_point now) {
    if (closed_ || lost_ || !socket_.Valid()) {
        return 0;
    }
    if (const int error = Flush()) {
        return error;
    }
    // Data waits for the negotiation: a server that turns out not to speak
    // RFC 2217 would pass this end's Telnet on to the control.
    while (stage_ == Stage::Up && !lost_ && link_.Outgoing().empty() && !pending_.empty() &&
           OutputAllowed()) {
        const std::size_t backlog = pacing_.OnWire(now);
        if (backlog >= pacing_.BacklogLimit()) {
            break;
        }
        std::array<char, WritePacing::MaxBacklog> chunk{};
        const std::size_t size = std::min(pending_.size(), pacing_.BacklogLimit() - backlog);
        std::copy_n(pending_.begin(), size, chunk.begin());
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(size));
        Tapped(true, chunk.data(), size);
        if (comPort_) {
            std::string encoded;
            AppendTelnetData(encoded, chunk.data(), size);
            Queue(encoded);
        } else {
            Queue(std::string(chunk.data(), size));
        }
        handed_ += size;
        pacing_.Handed(now, size);
        txBusy_ = true;
        emptyReportAsked_ = false;
        serverOutputEmpty_ = false;
        if (const int error = Flush()) {
            return error;
        }
    }
    return 0;
}

int NetworkSerialDevice::Flush() {
    while (!link_.Outgoing().empty()) {
        const std::string& outgoing = link_.Outgoing();
        const ssize_t count =
            ::send(socket_.Get(), outgoing.data(), outgoing.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (count < 0) {
            return (errno == EAGAIN || errno == EINTR) ? 0 : errno;
        }
        link_.Sent(static_cast<std::size_t>(count));
    }
    return 0;
}

void NetworkSerialDevice::CheckTxEmpty(Clock::time_point now) {
    if (txBusy_ && pending_.empty() && link_.Outgoing().empty() && pacing_.OnWire(now) == 0 &&
        (lost_ || Unacknowledged() == 0)) {
        txBusy_ = false;
        events_ |= EV_TXEMPTY;
    }
}

NetworkSerialDevice::Clock::duration NetworkSerialDevice::WaitLimit(Clock::time_point now) const {
    if (lost_) {
        return Clock::duration::max();
    }
    if (stage_ == Stage::Negotiating) {
        return std::max<Clock::duration>(negotiationEnd_ - now, Clock::duration(0));
    }
    if (!pending_.empty() && link_.Outgoing().empty() && OutputAllowed()) {
        return pacing_.UntilRoom(now);
    }
    if (txBusy_) {
        const Clock::duration onWire = pacing_.UntilWireFree(now);
        if (onWire > Clock::duration(0)) {
            return onWire;
        }
        // TX-empty waits for the server's acknowledgement too.
        return std::max<Clock::duration>(pacing_.CharTime(), AcknowledgementPoll);
    }
    return Clock::duration::max();
}

} // namespace feedrail
