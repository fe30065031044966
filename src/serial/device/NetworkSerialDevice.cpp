#include "serial/device/NetworkSerialDevice.h"

#include "serial/device/TcpConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace feedrail {
namespace {

using namespace CommEventBit;

// Short, because a machine's port is opened again every two seconds while
// it is gone, and the window waits for each try.
constexpr auto ConnectTimeout = std::chrono::seconds(1);
constexpr auto AnswerTimeout = std::chrono::seconds(1);
constexpr std::uint8_t ReportAllModemLines = 0xFF;

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
        device->AwaitNegotiation();
    }
    return device;
}

NetworkSerialDevice::NetworkSerialDevice(FileDescriptor socket, bool comPort)
    : socket_(std::move(socket)), comPort_(comPort) {
    pacing_.Configure(settings_);
    if (comPort_) {
        outgoing_ = options_.Opening();
    }
}

NetworkSerialDevice::~NetworkSerialDevice() {
    Close();
}

void NetworkSerialDevice::AwaitNegotiation() {
    std::unique_lock lock(mutex_);
    Wake();
    changed_.wait_for(lock, AnswerTimeout, [this] {
        return closed_ || lost_ || options_.ComPortAccepted() || options_.ComPortRefused();
    });
    negotiationWaited_ = true;
    if (ComPort()) {
        AskForModemLines();
    }
}

void NetworkSerialDevice::AskForModemLines() {
    Request({ComPort::SetModemStateMask, std::string(1, static_cast<char>(ReportAllModemLines))},
            false);
    Wake();
}

// A server that takes COM-PORT-OPTION late gets the whole line setting then.
void NetworkSerialDevice::ComPortTakenLate() {
    AskForModemLines();
    for (const ComPortSetting& request : ComPortSettingRequests(std::nullopt, settings_)) {
        Request(request, false);
    }
    applied_ = settings_;
}

int NetworkSerialDevice::SetSettings(const SerialSettings& settings) {
    std::unique_lock lock(mutex_);
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
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return EBADF;
    }
    DrainInput();
    errors = std::exchange(errors_, 0);
    stat.cbInQue = static_cast<std::uint32_t>(input_.size());
    stat.cbOutQue = static_cast<std::uint32_t>(pending_.size());
    const OutputLineState state{.CtsOn = (modemState_ & ModemStatusBit::MS_CTS_ON) != 0,
                                .DsrOn = (modemState_ & ModemStatusBit::MS_DSR_ON) != 0,
                                .XoffReceived = xoffReceived_,
                                .XoffForced = xoffForced_ || serverSuspended_};
    stat.Flags = HoldReasons(settings_, state);
    NotifyIfEvents();
    return 0;
}

int NetworkSerialDevice::Purge(std::uint32_t flags) {
    const std::lock_guard lock(mutex_);
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
    const std::lock_guard lock(mutex_);
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
    const std::lock_guard lock(mutex_);
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
        const std::lock_guard lock(mutex_);
        socket_.Reset();
    }
}

std::string NetworkSerialDevice::GoneReason() const {
    const std::lock_guard lock(mutex_);
    if (!lost_) {
        return {};
    }
    return lostCause_ == 0 ? "closed by the device server" : std::strerror(lostCause_);
}

void NetworkSerialDevice::Request(const ComPortSetting& setting, bool awaitAnswer) {
    outgoing_ += ComPortRequest(setting.command, setting.value);
    if (awaitAnswer && setting.command < answersDue_.size()) {
        ++answersDue_[setting.command];
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
