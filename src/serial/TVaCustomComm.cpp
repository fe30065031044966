#include "serial/TVaCustomComm.h"

#include "serial/EVaCommError.h"
#include "serial/device/DeviceAddress.h"
#include "serial/device/DevicePath.h"
#include "serial/device/NetworkSerialDevice.h"
#include "serial/device/PortHolder.h"
#include "serial/device/PortPermission.h"
#include "serial/device/PosixSerialDevice.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace feedrail {

using namespace CommEventBit;

TVaCustomComm::TVaCustomComm(EventHandOver& handOver, std::string programDir)
    : handOver_(handOver), programDir_(std::move(programDir)) {
    eventChars_.SetOnChange([this](TVaPersistent&) { ApplySettings(); });
}

TVaCustomComm::~TVaCustomComm() {
    destroying_ = true;
    try {
        Close();
    } catch (const EVaCommError&) {
        // The port is closed whatever the purge said; nobody is left to tell.
    }
}

void TVaCustomComm::Open() {
    ThrowIfOpen();
    device_ = OpenDevice();
    device_->WatchLine(watchingLine_);
    reached_ = !device_->Connecting();
    try {
        ApplySettings();
        SetupTimeouts();
        SetupBuffers();
        ListenToDevice();
        SetEventMask(GetEventMask());
        if (OnOpen) {
            OnOpen(*this);
        }
    } catch (...) {
        CloseDevice();
        throw;
    }
}

void TVaCustomComm::Close() {
    if (!Active()) {
        return;
    }
    try {
        PurgeReadWrite();
    } catch (...) {
        CloseDevice();
        throw;
    }
    CloseDevice();
    if (!destroying_ && OnClose) {
        OnClose(*this);
    }
}

int TVaCustomComm::WriteBuf(const char* buf, int count) {
    const std::lock_guard guard(lock_);
    if (!device_) {
        throw EVaCommError::WithCode(CommErrorText::Write, EBADF);
    }
    std::size_t written = 0;
    const int error = device_->Write(buf, count > 0 ? static_cast<std::size_t>(count) : 0,
                                     writeTimeout_, written);
    if (error != 0) {
        throw EVaCommError::WithCode(CommErrorText::Write, error);
    }
    return static_cast<int>(written);
}

void TVaCustomComm::QueueBuf(const char* buf, std::size_t count) {
    const std::lock_guard guard(lock_);
    if (!device_) {
        throw EVaCommError::WithCode(CommErrorText::Write, EBADF);
    }
    // Without a time to wait, what the line cannot take at once stays queued.
    std::size_t written = 0;
    if (const int error = device_->Write(buf, count, 0, written)) {
        throw EVaCommError::WithCode(CommErrorText::Write, error);
    }
}

std::uint32_t TVaCustomComm::BitsPerSecond() const {
    return customBaudRate_ != 0 ? customBaudRate_ : BaudrateValues[baudrate_];
}

std::size_t TVaCustomComm::OutputQueued() {
    ComStat stat;
    GetComStat(stat);
    return stat.cbOutQue;
}

void TVaCustomComm::SetXoffHoldsOutput(bool value) {
    if (value == xoffHoldsOutput_) {
        return;
    }
    xoffHoldsOutput_ = value;
    ApplySettings();
    // An XOFF the machine sent before has been dealt with by whoever turns
    // the hold on.
    if (value && device_) {
        SetXon(true);
    }
}

int TVaCustomComm::ReadBuf(char* buf, int count) {
    const std::lock_guard guard(lock_);
    if (!device_) {
        throw EVaCommError::WithCode(CommErrorText::Read, EBADF);
    }
    std::size_t read = 0;
    const int error = device_->Read(buf, count > 0 ? static_cast<std::size_t>(count) : 0, read);
    if (error != 0) {
        throw EVaCommError::WithCode(CommErrorText::Read, error);
    }
    return static_cast<int>(read);
}

void TVaCustomComm::UnreadBuf(const char* buf, int count) {
    const std::lock_guard guard(lock_);
    if (device_ && count > 0) {
        device_->Unread(buf, static_cast<std::size_t>(count));
    }
}

void TVaCustomComm::GetComStat(ComStat& stat) {
    stat = ComStat{};
    const std::lock_guard guard(lock_);
    if (!device_) {
        return;
    }
    std::uint32_t errors = 0;
    if (const int error = device_->ClearError(errors, stat)) {
        throw EVaCommError::WithCode(CommErrorText::Statistics, error);
    }
    // The device clears its errors as it reports the queues: they are kept
    // for the error event that comes with them.
    unreportedErrors_ |= errors;
}

bool TVaCustomComm::OutputDelivered() {
    const std::lock_guard guard(lock_);
    bool delivered = true;
    if (device_ && device_->OutputDelivered(delivered) == EBADF) {
        return true;
    }
    return delivered;
}

void TVaCustomComm::PurgeRead() {
    Purge(PurgeFlag::PURGE_RXABORT | PurgeFlag::PURGE_RXCLEAR);
}

void TVaCustomComm::PurgeWrite() {
    Purge(PurgeFlag::PURGE_TXABORT | PurgeFlag::PURGE_TXCLEAR);
}

void TVaCustomComm::PurgeReadWrite() {
    Purge(PurgeFlag::PURGE_RXABORT | PurgeFlag::PURGE_RXCLEAR | PurgeFlag::PURGE_TXABORT |
          PurgeFlag::PURGE_TXCLEAR);
}

void TVaCustomComm::SetDTR(bool value) {
    if (dtrControl_ == dtrHandshake) {
        throw EVaCommError(CommErrorText::ManualDtr);
    }
    EscapeComm(value ? EscapeCode::SETDTR : EscapeCode::CLRDTR);
}

void TVaCustomComm::SetRTS(bool value) {
    if (rtsControl_ == rtsHandshake) {
        throw EVaCommError(CommErrorText::ManualRts);
    }
    EscapeComm(value ? EscapeCode::SETRTS : EscapeCode::CLRRTS);
}

void TVaCustomComm::SetXon(bool value) {
    EscapeComm(value ? EscapeCode::SETXON : EscapeCode::SETXOFF);
}

bool TVaCustomComm::SetLowLatency() {
    const std::lock_guard guard(lock_);
    return device_ && device_->SetLowLatency() == 0;
}

std::uint32_t TVaCustomComm::GetModemStatus() {
    std::uint32_t status = 0;
    const std::lock_guard guard(lock_);
    if (device_) {
        if (const int error = device_->GetModemStatus(status)) {
            throw EVaCommError::WithCode(CommErrorText::ModemState, error);
        }
    }
    return status;
}

bool TVaCustomComm::GetModemState(int index) {
    using namespace ModemStatusBit;
    static constexpr std::uint32_t lineBits[] = {MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON};
    if (index < 1 || index > 4) {
        return false;
    }
    return (GetModemStatus() & lineBits[index - 1]) != 0;
}

std::string TVaCustomComm::DevicePath() const {
    return ResolveDevicePath(GetDeviceName(), programDir_);
}

std::string TVaCustomComm::GetDeviceName() const {
    std::string name = deviceName_;
    const std::size_t at = name.find("%d");
    if (at != std::string::npos) {
        name.replace(at, 2, std::to_string(portNum_));
    }
    return name;
}

std::uint32_t TVaCustomComm::SettingsFlags() const {
    std::uint32_t flags =
        DcbFlag::fBinary | DcbFlag::fAbortOnError | FlowControlFlags[flowControl_];
    if (flowControl_ != fcDtrDsr) {
        flags |= DTRControlFlags[dtrControl_];
    }
    if (flowControl_ != fcRtsCts) {
        flags |= RTSControlFlags[rtsControl_];
    }
    if (xoffHoldsOutput_) {
        flags |= DcbFlag::fOutXKept;
    }
    for (const TVaCommOption option :
         {coContinueOnXOff, coErrorChar, coNullStrip, coParityCheck, coDsrSensitivity}) {
        if (options_.Contains(option)) {
            flags |= CommOptionFlags[option];
        } else {
            flags &= ~CommOptionFlags[option];
        }
    }
    return flags;
}

void TVaCustomComm::ThrowOpenFailure(const std::string& name, const std::string& path,
                                     int error) const {
    // A port another program holds says which one, so that the operator
    // knows whether to stop it or choose another port.
    if (error == EBUSY) {
        if (const auto holder = FindPortHolder(path)) {
            throw EVaCommError(PortTitle(name) + " is used by " + holder->Program + ", process " +
                               std::to_string(holder->Process));
        }
    }
    // A com<N> link to a device that is gone (an adapter unplugged) says
    // where it points: "Invalid port number" would send the operator astray.
    if (error == ENOENT && DanglingLink(path)) {
        throw EVaCommError(PortTitle(name) + ": the link " + path + " points to " +
                           LinkTarget(path) + ", which is not there");
    }
    const bool byPath = nameByDevice_;
    const std::string message =
        byPath ? "Can't open device " + name + ": " + std::strerror(error)
               : EVaCommError::WithPort(CommErrorText::CantOpen, portNum_).what();
    if (error == EACCES || error == EPERM) {
        throw EVaCommError(message, PortPermissionAdvice(path));
    }
    if (!byPath && error == ENOENT) {
        throw EVaCommError::WithPort(CommErrorText::InvalidPort, portNum_);
    }
    throw EVaCommError(message);
}

std::string TVaCustomComm::GoneReason() const {
    return device_ ? device_->GoneReason() : std::string();
}

bool TVaCustomComm::Connecting() const {
    return device_ && device_->Connecting();
}

std::shared_ptr<SerialDevice> TVaCustomComm::OpenDevice() {
    const std::string name = GetDeviceName();
    std::string problem;
    const auto address = ParseDeviceAddress(name, &problem);
    // A network address written wrongly is no file name to try.
    if (!address && NetworkAddressLike(name)) {
        throw EVaCommError(problem);
    }
    if (address && address->Network()) {
        std::string failure;
        std::shared_ptr<SerialDevice> device = NetworkSerialDevice::Open(*address, failure);
        if (!device) {
            throw EVaCommError("Can't open device " + address->Text() + ": " + failure);
        }
        opened_ = {address->Text(), address->Text()};
        return device;
    }
    const std::string path = DevicePath();
    // A link that was there and is gone (the machine being moved to another
    // adapter) is waited for: the serial port of the same number is another
    // line, where the machine's punches would never be heard.
    const std::string link = ComLinkPath(name, programDir_);
    if (!link.empty() && path != link && linkOpened_ == link) {
        throw EVaCommError("Can't open device " + PortTitle(name) + ": the link " + link +
                           " is gone");
    }
    int error = 0;
    std::shared_ptr<SerialDevice> device = PosixSerialDevice::Open(path, error);
    if (!device) {
        ThrowOpenFailure(name, path, error);
    }
    opened_ = {path, LinkTarget(path)};
    linkOpened_ = !link.empty() && path == link ? link : std::string();
    return device;
}

void TVaCustomComm::HandleRxChar() {
    ComStat stat;
    GetComStat(stat);
    const int count = static_cast<int>(stat.cbInQue);
    if (count > 0 && OnRxChar) {
        OnRxChar(*this, count);
    }
}

void TVaCustomComm::HandleCommEvent(std::uint32_t mask) {
    std::uint32_t errors = 0;
    if ((mask & EV_ERR) != 0) {
        const std::lock_guard guard(lock_);
        ComStat stat;
        if (device_) {
            if (const int error = device_->ClearError(errors, stat)) {
                throw EVaCommError::WithCode(CommErrorText::Statistics, error);
            }
        }
        errors |= std::exchange(unreportedErrors_, 0);
    }
    // Reached, then gone: told in that order.
    if ((mask & EV_REACHED) != 0) {
        reached_ = true;
        if (OnReached) {
            OnReached(*this);
        }
    }
    if ((mask & EV_ERR) != 0 && OnError) {
        OnError(*this, static_cast<int>(errors));
    }
    const std::pair<std::uint32_t, NotifyEvent TVaCustomComm::*> notifications[] = {
        {EV_RXFLAG, &TVaCustomComm::OnRxFlag}, {EV_CTS, &TVaCustomComm::OnCts},
        {EV_DSR, &TVaCustomComm::OnDsr},       {EV_RING, &TVaCustomComm::OnRing},
        {EV_RLSD, &TVaCustomComm::OnRlsd},     {EV_TXEMPTY, &TVaCustomComm::OnTxEmpty},
        {EV_BREAK, &TVaCustomComm::OnBreak},
    };
    for (const auto& [bit, handler] : notifications) {
        if ((mask & bit) != 0 && this->*handler) {
            (this->*handler)(*this);
        }
    }
}

void TVaCustomComm::ThrowIfOpen() const {
    if (Active()) {
        throw EVaCommError(CommErrorText::PortOpen);
    }
}

void TVaCustomComm::ApplySettings() {
    const std::lock_guard guard(lock_);
    if (!device_) {
        return;
    }
    SerialSettings settings;
    if (const int error = device_->GetSettings(settings)) {
        throw EVaCommError::WithCode(CommErrorText::ReadDcb, error);
    }
    settings.BaudRate = BitsPerSecond();
    settings.ByteSize = DatabitsValues[databits_];
    settings.Parity = parity_;
    settings.StopBits = stopbits_;
    settings.XonChar = eventChars_.XonChar();
    settings.XoffChar = eventChars_.XoffChar();
    settings.ErrorChar = eventChars_.ErrorChar();
    settings.EvtChar = eventChars_.EventChar();
    settings.XonLim = static_cast<std::uint16_t>(xonLim_);
    settings.XoffLim = static_cast<std::uint16_t>(xoffLim_);
    settings.Flags = SettingsFlags();
    if (const int error = device_->SetSettings(settings)) {
        // Never a silent old rate: the message names the rate refused.
        if (error == ERANGE) {
            throw EVaCommError("Error setting " + std::to_string(settings.BaudRate) +
                               " Baud: the device does not take this rate");
        }
        throw EVaCommError::WithCode(CommErrorText::WriteDcb, error);
    }
}

void TVaCustomComm::SetupTimeouts() {
    if (const int error = device_->SetTimeouts()) {
        throw EVaCommError::WithCode(CommErrorText::Timeouts, error);
    }
}

void TVaCustomComm::SetupBuffers() {
    if (const int error = device_->SetQueueSizes(static_cast<std::uint32_t>(readBufSize_),
                                                 static_cast<std::uint32_t>(writeBufSize_))) {
        throw EVaCommError::WithCode(CommErrorText::Buffers, error);
    }
}

// Whether a device being reached was is told whatever events are watched.
std::uint32_t TVaCustomComm::GetEventMask() const {
    std::uint32_t mask = EV_REACHED;
    for (const TVaCommEvent event :
         {ceBreak, ceCts, ceDsr, ceError, ceRing, ceRlsd, ceRxChar, ceTxEmpty, ceRxFlag}) {
        if (monitorEvents_.Contains(event)) {
            mask |= CommEventBits[event];
        }
    }
    return mask;
}

void TVaCustomComm::SetEventMask(std::uint32_t mask) {
    const std::lock_guard guard(lock_);
    if (device_) {
        if (const int error = device_->SetEventMask(mask)) {
            throw EVaCommError::WithCode(CommErrorText::EventMask, error);
        }
    }
}

// A dispatch posted for a device since closed finds no port and does nothing.
void TVaCustomComm::ListenToDevice() {
    relay_ = std::make_shared<Relay>(Relay{this});
    device_->SetThreadNiceness(-ThreadPriorityValues[priority_]);
    device_->SetEventListener(
        [relay = relay_, &handOver = handOver_] { PostDispatch(relay, handOver); });
}

void TVaCustomComm::PostDispatch(const std::shared_ptr<Relay>& relay, EventHandOver& handOver) {
    handOver.Post([relay] {
        if (relay->Comm != nullptr) {
            relay->Comm->DispatchEvents();
        }
    });
}

// A handler that runs a loop of its own (a message box) may let the next
// dispatch in: that one waits for this one to end, so that the port's bytes
// are handled in the order they came. Reached comes before what came after
// it, and going after it.
void TVaCustomComm::DispatchEvents() {
    if (dispatching_) {
        dispatchDeferred_ = true;
        return;
    }
    std::uint32_t mask = 0;
    {
        const std::lock_guard guard(lock_);
        if (!device_ || device_->TakeEvents(mask) != 0) {
            return;
        }
    }
    const std::shared_ptr<Relay> relay = relay_;
    dispatching_ = true;
    try {
        RunHandlers(mask, relay);
    } catch (...) {
        handOver_.HandleException(std::current_exception());
    }
    dispatching_ = false;
    // The port may have been opened again meanwhile: its device waits too.
    if (std::exchange(dispatchDeferred_, false) && relay_) {
        PostDispatch(relay_, handOver_);
    }
}

void TVaCustomComm::RunHandlers(std::uint32_t mask, const std::shared_ptr<Relay>& relay) {
    if ((mask & EV_REACHED) != 0) {
        HandleCommEvent(EV_REACHED);
        mask &= ~EV_REACHED;
    }
    if ((mask & EV_RXCHAR) != 0 && relay_ == relay) {
        HandleRxChar();
        mask &= ~EV_RXCHAR;
    }
    // A handler may have closed the port: the rest belonged to that opening.
    if (mask != 0 && relay_ == relay) {
        HandleCommEvent(mask);
    }
}

void TVaCustomComm::CloseDevice() {
    if (relay_) {
        relay_->Comm = nullptr;
        relay_.reset();
    }
    device_->Close();
    KeepLineTraffic();
    device_.reset();
}

void TVaCustomComm::WatchLine(bool on) {
    const std::lock_guard guard(lock_);
    watchingLine_ = on;
    if (device_) {
        device_->WatchLine(on);
    }
    if (!on) {
        closedTap_.Clear();
    }
}

std::vector<TappedBytes> TVaCustomComm::TakeLineTraffic(std::uint64_t& dropped) {
    const std::lock_guard guard(lock_);
    std::vector<TappedBytes> taken = closedTap_.Take(dropped);
    if (device_) {
        std::uint64_t lost = 0;
        std::vector<TappedBytes> more = device_->TakeLineTraffic(lost);
        dropped += lost;
        taken.insert(taken.end(), std::make_move_iterator(more.begin()),
                     std::make_move_iterator(more.end()));
    }
    return taken;
}

// A device closed keeps its last bytes (a hang-up's, a send's end) for the
// watcher, within the same bound.
void TVaCustomComm::KeepLineTraffic() {
    std::uint64_t dropped = 0;
    for (const TappedBytes& piece : device_->TakeLineTraffic(dropped)) {
        closedTap_.Record(piece.Sent, piece.Bytes.data(), piece.Bytes.size(), piece.At);
    }
    closedTap_.Lost(dropped);
}

void TVaCustomComm::Purge(std::uint32_t flags) {
    const std::lock_guard guard(lock_);
    if (device_) {
        if (const int error = device_->Purge(flags)) {
            throw EVaCommError::WithCode(CommErrorText::Purge, error);
        }
    }
}

void TVaCustomComm::EscapeComm(int function) {
    const std::lock_guard guard(lock_);
    if (device_) {
        if (const int error = device_->EscapeFunction(function)) {
            throw EVaCommError::WithCode(CommErrorText::CommFunction, error);
        }
    }
}

} // namespace feedrail
