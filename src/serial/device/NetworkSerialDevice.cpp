#include "serial/device/NetworkSerialDevice.h"

#include "serial/device/TcpConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <system_error>

namespace feedrail {
namespace {

using namespace CommEventBit;

constexpr std::uint8_t ReportAllModemLines = 0xFF;
// RFC 2217 line-state bits: the errors and a break, which the server reports
// only when asked (its mask starts at 0), and an empty transmit shift
// register, asked for at the end of output alone: a server reports every
// change of it, at every pause of the line.
constexpr std::uint8_t ReportLineErrors = 0x02 | 0x04 | 0x08 | 0x10;
constexpr std::uint8_t TransmitterEmpty = 0x40;

std::string ByteValue(std::uint8_t value) {
    return std::string(1, static_cast<char>(value));
}

} // namespace

std::shared_ptr<NetworkSerialDevice> NetworkSerialDevice::Open(const DeviceAddress& address,
                                                               std::string& failure,
                                                               const ConnectLimits& limits) {
    std::shared_ptr<NetworkSerialDevice> device;
    try {
        device.reset(new NetworkSerialDevice(address, limits));
        device->StartSharedLine(*device);
    } catch (const std::system_error& error) {
        failure = error.code().message();
        return nullptr;
    }
    return device;
}

NetworkSerialDevice::NetworkSerialDevice(const DeviceAddress& address, const ConnectLimits& limits)
    : BufferedSerialDevice(WritePacing::Reach::DeviceServer),
      connection_(std::make_unique<TcpConnection>(address.host, address.port, limits)),
      comPort_(address.kind == DeviceAddress::Kind::Rfc2217) {
    pacing_.Configure(settings_);
    if (comPort_) {
        link_.Start();
    }
}

NetworkSerialDevice::~NetworkSerialDevice() {
    Close();
}

// A server that has not taken COM-PORT-OPTION in time is not taken as a raw
// one: what it passes on would be this end's Telnet commands, and what it
// sends, Telnet or not, would be decoded as Telnet. The operator is told to
// say tcp:// for such a port.
void NetworkSerialDevice::CheckNegotiation(Clock::time_point now) {
    if (stage_ != Stage::Negotiating || lost_) {
        return;
    }
    if (link_.ComPortAccepted()) {
        ConnectionUp();
    } else if (link_.ComPortRefused() || now >= negotiationEnd_) {
        // A refusal comes from a Telnet server without RFC 2217, or from a
        // raw one that echoes this end's own offer back.
        Fail("the device server does not speak RFC 2217 (use tcp:// for a raw port)");
    }
}

void NetworkSerialDevice::ConnectionUp() {
    stage_ = Stage::Up;
    events_ |= EV_REACHED;
    if (ComPort()) {
        AskForReports();
        SendSettings();
        for (std::optional<ComPortSetting>& line : linesHeld_) {
            if (line) {
                Request(*line);
                line.reset();
            }
        }
    }
    changed_.notify_all();
    NotifyIfEvents();
}

void NetworkSerialDevice::AskForReports() {
    Request({ComPort::SetModemStateMask, ByteValue(ReportAllModemLines)});
    Request({ComPort::SetLineStateMask, ByteValue(ReportLineErrors)});
}

int NetworkSerialDevice::SetSettings(const SerialSettings& settings) {
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    settings_ = settings;
    pacing_.Configure(settings_);
    if (stage_ == Stage::Up && ComPort() && !lost_) {
        SendSettings();
        Wake();
    }
    return 0;
}

void NetworkSerialDevice::SendSettings() {
    // Answers that never come must not let the list grow.
    constexpr std::size_t mostRatesAsked = 8;
    for (const ComPortSetting& request : ComPortSettingRequests(applied_, settings_)) {
        if (request.command == ComPort::SetBaudRate) {
            if (ratesAsked_.size() == mostRatesAsked) {
                ratesAsked_.pop_front();
            }
            ratesAsked_.push_back(settings_.BaudRate);
        }
        Request(request);
    }
    applied_ = settings_;
}

// The answer to SET-BAUDRATE is the rate the server's line now runs at: never
// a silent other rate.
void NetworkSerialDevice::TakeRateAnswer(std::uint32_t rate) {
    if (ratesAsked_.empty()) {
        return;
    }
    const std::uint32_t asked = ratesAsked_.front();
    ratesAsked_.pop_front();
    if (rate != 0 && rate != asked) {
        Fail("the device server does not take " + std::to_string(asked) +
             " Baud (its line runs at " + std::to_string(rate) + " Baud)");
    }
}

int NetworkSerialDevice::Refusal(std::size_t count) const {
    if (stage_ != Stage::Up && !lost_ && pending_.size() + count > MaxWaitingForConnection) {
        return ENOBUFS;
    }
    return 0;
}

int NetworkSerialDevice::ClearError(std::uint32_t& errors, ComStat& stat) {
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    DrainInput();
    errors = std::exchange(errors_, 0);
    stat.cbInQue = static_cast<std::uint32_t>(input_.size());
    // What the server has not acknowledged is still on its way.
    stat.cbOutQue = static_cast<std::uint32_t>(pending_.size() + link_.Outgoing().size() +
                                               (lost_ ? 0 : Unacknowledged()));
    const OutputLineState state{.CtsOn = (modemState_ & ModemStatusBit::MS_CTS_ON) != 0,
                                .DsrOn = (modemState_ & ModemStatusBit::MS_DSR_ON) != 0,
                                .XoffReceived = xoffReceived_,
                                .XoffForced = xoffForced_ || serverSuspended_};
    stat.Flags = HoldReasons(settings_, state);
    NotifyIfEvents();
    return 0;
}

int NetworkSerialDevice::Purge(std::uint32_t flags) {
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    // RFC 2217 numbers the server's buffers: 1 what it received, 2 what it sends.
    std::uint8_t serverBuffers = 0;
    if ((flags & (PurgeFlag::PURGE_TXABORT | PurgeFlag::PURGE_TXCLEAR)) != 0) {
        pending_.clear();
        pacing_.Clear(Clock::now());
        serverBuffers |= 2;
    }
    if ((flags & (PurgeFlag::PURGE_RXABORT | PurgeFlag::PURGE_RXCLEAR)) != 0) {
        input_.clear();
        serverBuffers |= 1;
        InputRoomMade();
    }
    if (serverBuffers != 0 && ComPort() && !lost_) {
        Request({ComPort::PurgeData, std::string(1, static_cast<char>(serverBuffers))});
        Wake();
    }
    return 0;
}

int NetworkSerialDevice::EscapeFunction(int function) {
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    switch (function) {
    case EscapeCode::SETXOFF:
        xoffForced_ = true;
        return 0;
    case EscapeCode::SETXON:
        xoffForced_ = false;
        xoffReceived_ = false;
        Wake();
        return 0;
    default:
        break;
    }
    const std::optional<ComPortSetting> request = ComPortEscapeRequest(function);
    if (!request) {
        return EINVAL;
    }
    if (stage_ != Stage::Up && comPort_ && !lost_) {
        const bool dtr = function == EscapeCode::SETDTR || function == EscapeCode::CLRDTR;
        linesHeld_[dtr ? 0 : 1] = request;
    } else if (ComPort() && !lost_) {
        Request(*request);
        Wake();
    }
    return 0;
}

int NetworkSerialDevice::GetModemStatus(std::uint32_t& status) {
    const auto lock = Hold();
    status = 0;
    if (closed_) {
        return EBADF;
    }
    using namespace ModemStatusBit;
    status = modemState_ & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    return 0;
}

void NetworkSerialDevice::Close() {
    if (StopLineThread()) {
        const auto lock = Hold();
        socket_.Reset();
        connection_.reset();
        retiredConnection_.reset();
    }
}

bool NetworkSerialDevice::Connecting() const {
    const auto lock = Hold();
    return stage_ != Stage::Up && !lost_ && !closed_;
}

std::string NetworkSerialDevice::GoneReason() const {
    const auto lock = Hold();
    return lost_ ? LostReason() : std::string();
}

std::string NetworkSerialDevice::LostReason() const {
    if (!lostReason_.empty()) {
        return lostReason_;
    }
    return lostCause_ == 0 ? "closed by the device server" : std::strerror(lostCause_);
}

int NetworkSerialDevice::OutputDelivered(bool& delivered) {
    const auto lock = Hold();
    delivered = false;
    if (closed_) {
        return EBADF;
    }
    if (lost_) {
        delivered = deliveredAtLoss_;
        return delivered ? 0 : (lostCause_ != 0 ? lostCause_ : EPIPE);
    }
    delivered = pending_.empty() && link_.Outgoing().empty() && Unacknowledged() == 0;
    // Asked only now: behind the data in the stream, the request reaches the
    // server after the last byte has.
    if (delivered && ComPort() && !emptyReportAsked_) {
        emptyReportAsked_ = true;
        Request({ComPort::SetLineStateMask, ByteValue(ReportLineErrors | TransmitterEmpty)});
        Wake();
    }
    return 0;
}

bool NetworkSerialDevice::ServerOutputConfirmedEmpty() const {
    const auto lock = Hold();
    return serverOutputEmpty_;
}

std::size_t NetworkSerialDevice::Unacknowledged() const {
    int unacknowledged = 0;
    if (!socket_.Valid() || ::ioctl(socket_.Get(), SIOCOUTQ, &unacknowledged) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(std::max(unacknowledged, 0));
}

std::size_t NetworkSerialDevice::OutgoingSize() const {
    const auto lock = Hold();
    return link_.Outgoing().size();
}

void NetworkSerialDevice::Request(const ComPortSetting& setting) {
    Queue(ComPortRequest(setting.command, setting.value));
}

void NetworkSerialDevice::Queue(const std::string& bytes) {
    if (lost_) {
        return;
    }
    link_.Queue(bytes);
    if (!link_.Failure().empty()) {
        Fail(link_.Failure());
    }
}

void NetworkSerialDevice::InputRoomMade() {
    if (inputSuspended_ && ComPort() && !lost_) {
        inputSuspended_ = false;
        Request({ComPort::FlowControlResume, {}});
    }
    Wake();
}

} // namespace feedrail
