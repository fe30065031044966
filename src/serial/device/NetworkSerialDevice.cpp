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

// Short, because a machine's port is opened again every two seconds while
// it is gone, and the window waits for each try.
constexpr auto ConnectTimeout = std::chrono::seconds(1);
constexpr auto AnswerTimeout = std::chrono::seconds(1);
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
                                                               std::string& failure) {
    FileDescriptor socket = ConnectTcp(address.host, address.port, ConnectTimeout, failure);
    if (!socket.Valid()) {
        return nullptr;
    }
    std::shared_ptr<NetworkSerialDevice> device;
    try {
        device.reset(new NetworkSerialDevice(std::move(socket),
                                             address.kind == DeviceAddress::Kind::Rfc2217));
    } catch (const std::system_error& error) {
        failure = error.code().message();
        return nullptr;
    }
    device->StartLineThread([raw = device.get()] { raw->LineLoop(); });
    if (device->comPort_) {
        failure = device->AwaitNegotiation();
        if (!failure.empty()) {
            device->Close();
            return nullptr;
        }
    }
    return device;
}

NetworkSerialDevice::NetworkSerialDevice(FileDescriptor socket, bool comPort)
    : socket_(std::move(socket)), comPort_(comPort) {
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
std::string NetworkSerialDevice::AwaitNegotiation() {
    auto lock = Hold();
    Wake();
    changed_.wait_for(lock, NegotiationTimeout, [this] {
        return closed_ || lost_ || link_.ComPortAccepted() || link_.ComPortRefused();
    });
    if (lost_) {
        return LostReason();
    }
    // A refusal comes from a Telnet server without RFC 2217, or from a raw
    // one that echoes this end's own offer back.
    if (!link_.ComPortAccepted()) {
        return "the device server does not speak RFC 2217 (use tcp:// for a raw port)";
    }
    AskForReports();
    return {};
}

void NetworkSerialDevice::AskForReports() {
    Request({ComPort::SetModemStateMask, ByteValue(ReportAllModemLines)}, false);
    Request({ComPort::SetLineStateMask, ByteValue(ReportLineErrors)}, false);
    Wake();
}

int NetworkSerialDevice::SetSettings(const SerialSettings& settings) {
    auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    settings_ = settings;
    pacing_.Configure(settings_);
    if (!ComPort()) {
        return 0;
    }
    answeredRate_ = 0;
    for (const ComPortSetting& request : ComPortSettingRequests(applied_, settings)) {
        Request(request, true);
    }
    Wake();
    changed_.wait_for(lock, AnswerTimeout, [this] { return closed_ || lost_ || !AnswersDue(); });
    answersDue_.fill(0);
    // The answer to SET-BAUDRATE is the rate the server's line now runs at.
    if (answeredRate_ != 0 && answeredRate_ != settings.BaudRate) {
        applied_.reset();
        return ERANGE;
    }
    applied_ = settings;
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
        Request({ComPort::PurgeData, std::string(1, static_cast<char>(serverBuffers))}, false);
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
    if (ComPort() && !lost_) {
        Request(*request, false);
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
    }
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
        return lostCause_ != 0 ? lostCause_ : EPIPE;
    }
    delivered = pending_.empty() && link_.Outgoing().empty() && Unacknowledged() == 0;
    // Asked only now: behind the data in the stream, the request reaches the
    // server after the last byte has.
    if (delivered && ComPort() && !emptyReportAsked_) {
        emptyReportAsked_ = true;
        Request({ComPort::SetLineStateMask, ByteValue(ReportLineErrors | TransmitterEmpty)}, false);
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
    if (::ioctl(socket_.Get(), SIOCOUTQ, &unacknowledged) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(std::max(unacknowledged, 0));
}

std::size_t NetworkSerialDevice::OutgoingSize() const {
    const auto lock = Hold();
    return link_.Outgoing().size();
}

void NetworkSerialDevice::Request(const ComPortSetting& setting, bool awaitAnswer) {
    Queue(ComPortRequest(setting.command, setting.value));
    if (awaitAnswer && setting.command < answersDue_.size() && !lost_) {
        ++answersDue_[setting.command];
    }
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

bool NetworkSerialDevice::AnswersDue() const {
    return std::ranges::any_of(answersDue_, [](int due) { return due > 0; });
}

void NetworkSerialDevice::InputRoomMade() {
    if (inputSuspended_ && ComPort() && !lost_) {
        inputSuspended_ = false;
        Request({ComPort::FlowControlResume, {}}, false);
    }
    Wake();
}

} // namespace feedrail
