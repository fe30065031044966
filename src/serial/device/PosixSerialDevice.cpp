#include "serial/device/PosixSerialDevice.h"

#include "serial/device/TermiosSettings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace feedrail {
namespace {

using namespace CommEventBit;

// A terminal without modem lines (a pseudo-terminal) answers these.
bool NoModemLines(int error) {
    return error == ENOTTY || error == EINVAL;
}

} // namespace

std::shared_ptr<PosixSerialDevice> PosixSerialDevice::Open(const std::string& path, int& error) {
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        error = errno;
        return nullptr;
    }
    // Another program that has the device, by lock or by exclusive mode,
    // keeps it.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        return nullptr;
    }
    termios tty{};
    if (::tcgetattr(fd.Get(), &tty) != 0) {
        error = errno;
        return nullptr;
    }
    ::ioctl(fd.Get(), TIOCEXCL);
    std::shared_ptr<PosixSerialDevice> device;
    try {
        device.reset(new PosixSerialDevice(std::move(fd)));
        device->StartSharedLine(*device);
    } catch (const std::system_error& failure) {
        error = failure.code().value();
        return nullptr;
    }
    return device;
}

PosixSerialDevice::PosixSerialDevice(FileDescriptor fd)
    : BufferedSerialDevice(WritePacing::Reach::Local), fd_(std::move(fd)) {
    ReadTermios(fd_.Get(), settings_);
    pacing_.Configure(settings_);
    modemLinesKnown_ = ::ioctl(fd_.Get(), TIOCMGET, &lastLines_) == 0;
    countersKnown_ = ::ioctl(fd_.Get(), TIOCGICOUNT, &lastCounters_) == 0;
}

PosixSerialDevice::~PosixSerialDevice() {
    Close();
}

int PosixSerialDevice::SetSettings(const SerialSettings& settings) {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return EBADF;
    }
    if (const int error = ApplyTermios(fd_.Get(), settings)) {
        return error;
    }
    settings_ = settings;
    pacing_.Configure(settings_);
    const LineActions actions = LineModeActions(lineFlags_, settings.Flags);
    if (const int error = ApplyDtrAction(actions.Dtr)) {
        return error;
    }
    if (const int error = ApplyRtsAction(actions.Rts)) {
        return error;
    }
    // Only once both lines have their modes: a write that failed halfway is
    // carried out again in full by the next one.
    lineFlags_ = settings.Flags;
    return 0;
}

int PosixSerialDevice::ApplyDtrAction(LineAction action) {
    switch (action) {
    case LineAction::Keep:
        return 0;
    case LineAction::Driver:
        // DTR handshake: the line says whether there is room (DrainInput
        // keeps it so).
        dtrHeldLow_ = input_.size() >= inputLimit_;
        return SetLine(TIOCM_DTR, !dtrHeldLow_);
    case LineAction::Raise:
    case LineAction::Drop:
        dtrHeldLow_ = false;
        return SetLine(TIOCM_DTR, action == LineAction::Raise);
    }
    return 0;
}

int PosixSerialDevice::ApplyRtsAction(LineAction action) {
    switch (action) {
    case LineAction::Keep:
        return 0;
    case LineAction::Driver:
        // Under handshake the terminal's CRTSCTS drops RTS when its own buffer
        // fills; toggle is kept raised, which is what a control sees while
        // bytes are sent.
        return SetLine(TIOCM_RTS, true);
    case LineAction::Raise:
    case LineAction::Drop:
        return SetLine(TIOCM_RTS, action == LineAction::Raise);
    }
    return 0;
}

int PosixSerialDevice::ClearError(std::uint32_t& errors, ComStat& stat) {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return EBADF;
    }
    DrainInput();
    PollErrorCounters();
    errors = errors_;
    errors_ = 0;
    int queued = 0;
    ::ioctl(fd_.Get(), TIOCOUTQ, &queued);
    stat.cbInQue = static_cast<std::uint32_t>(input_.size());
    stat.cbOutQue =
        static_cast<std::uint32_t>(pending_.size() + static_cast<std::size_t>(std::max(queued, 0)));
    // Lines that cannot be read are not reported as a hold.
    stat.Flags = HoldReasons(settings_, OutputState(true));
    NotifyIfEvents();
    return 0;
}

int PosixSerialDevice::Purge(std::uint32_t flags) {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return EBADF;
    }
    // The driver's queues of a device that has gone hold nothing anyone will
    // see, and flushing them fails: the port closes without an error.
    if ((flags & (PurgeFlag::PURGE_TXABORT | PurgeFlag::PURGE_TXCLEAR)) != 0) {
        pending_.clear();
        pacing_.Clear(Clock::now());
        if (!hungUp_ && ::tcflush(fd_.Get(), TCOFLUSH) != 0) {
            return errno;
        }
    }
    if ((flags & (PurgeFlag::PURGE_RXABORT | PurgeFlag::PURGE_RXCLEAR)) != 0) {
        input_.clear();
        if (!hungUp_ && ::tcflush(fd_.Get(), TCIFLUSH) != 0) {
            return errno;
        }
        Wake();
    }
    return 0;
}

int PosixSerialDevice::EscapeFunction(int function) {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return EBADF;
    }
    // The lines of a terminal that has hung up are moot, and its hang-up is
    // reported once as such: a line set as the other end goes is not a
    // second error of its own.
    if (hungUp_) {
        return 0;
    }
    const int error = SetLineFunction(function);
    if (error == EIO) {
        MarkHungUp();
        return 0;
    }
    return error;
}

int PosixSerialDevice::SetLineFunction(int function) {
    switch (function) {
    case EscapeCode::SETXOFF:
        xoffForced_ = true;
        return ::tcflow(fd_.Get(), TCOOFF) == 0 ? 0 : errno;
    case EscapeCode::SETXON:
        xoffForced_ = false;
        xoffReceived_ = false;
        Wake();
        return ::tcflow(fd_.Get(), TCOON) == 0 ? 0 : errno;
    case EscapeCode::SETRTS:
        return SetLine(TIOCM_RTS, true);
    case EscapeCode::CLRRTS:
        return SetLine(TIOCM_RTS, false);
    case EscapeCode::SETDTR:
        return SetLine(TIOCM_DTR, true);
    case EscapeCode::CLRDTR:
        return SetLine(TIOCM_DTR, false);
    default:
        return EINVAL;
    }
}

int PosixSerialDevice::GetModemStatus(std::uint32_t& status) {
    status = 0;
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return EBADF;
    }
    int lines = 0;
    if (const int error = ModemLines(lines)) {
        return error;
    }
    using namespace ModemStatusBit;
    status =
        ((lines & TIOCM_CTS) != 0 ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) != 0 ? MS_DSR_ON : 0) |
        ((lines & TIOCM_RNG) != 0 ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) != 0 ? MS_RLSD_ON : 0);
    return 0;
}

int PosixSerialDevice::SetLowLatency() {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return EBADF;
    }
    serial_struct info{};
    if (::ioctl(fd_.Get(), TIOCGSERIAL, &info) != 0) {
        return errno;
    }
    if ((info.flags & ASYNC_LOW_LATENCY) != 0) {
        return 0;
    }
    info.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd_.Get(), TIOCSSERIAL, &info) == 0 ? 0 : errno;
}

void PosixSerialDevice::Close() {
    if (!StopLineThread()) {
        return;
    }
    // The lock and the exclusive mode would outlive our descriptor while
    // another program still holds the terminal; the next open must find it free.
    const std::lock_guard lock(mutex_);
    ::ioctl(fd_.Get(), TIOCNXCL);
    ::flock(fd_.Get(), LOCK_UN);
    fd_.Reset();
}

OutputLineState PosixSerialDevice::OutputState(bool unreadableOn) {
    OutputLineState state{.XoffReceived = xoffReceived_, .XoffForced = xoffForced_};
    int lines = 0;
    if (ModemLines(lines) == 0) {
        state.CtsOn = (lines & TIOCM_CTS) != 0;
        state.DsrOn = (lines & TIOCM_DSR) != 0;
    } else {
        state.CtsOn = unreadableOn;
        state.DsrOn = unreadableOn;
    }
    return state;
}

bool PosixSerialDevice::OutputAllowed() {
    // The lines are read only when a hold depends on them.
    OutputLineState state{.XoffReceived = xoffReceived_, .XoffForced = xoffForced_};
    if ((settings_.Flags & DcbFlag::fOutxDsrFlow) != 0) {
        state = OutputState(false);
    }
    // CTS is the terminal's to follow (CRTSCTS), not the line thread's.
    state.CtsOn = true;
    return HoldReasons(settings_, state) == 0;
}

std::size_t PosixSerialDevice::Backlog(Clock::time_point now) const {
    int queued = 0;
    if (::ioctl(fd_.Get(), TIOCOUTQ, &queued) != 0) {
        queued = 0;
    }
    return std::max(pacing_.OnWire(now), static_cast<std::size_t>(std::max(queued, 0)));
}

int PosixSerialDevice::PushPending(Clock::time_point now) {
    // The hang-up, reported once, tells the writer.
    if (hungUp_) {
        DropOutput();
        return 0;
    }
    if (pending_.empty() || closed_ || !OutputAllowed()) {
        return 0;
    }
    // One write a pass tops the line up to its limit.
    const std::size_t backlog = Backlog(now);
    if (backlog >= pacing_.BacklogLimit()) {
        return 0;
    }
    std::array<char, WritePacing::MaxBacklog> chunk{};
    const std::size_t size = std::min(pending_.size(), pacing_.BacklogLimit() - backlog);
    std::copy_n(pending_.begin(), size, chunk.begin());
    const ssize_t count = ::write(fd_.Get(), chunk.data(), size);
    if (count < 0 && errno == EIO) {
        // The other side of a pseudo-terminal, or a USB adapter, has gone.
        MarkHungUp();
        DropOutput();
        return 0;
    }
    if (count < 0) {
        return (errno == EAGAIN || errno == EINTR) ? 0 : errno;
    }
    Tapped(true, chunk.data(), static_cast<std::size_t>(count));
    pending_.erase(pending_.begin(), pending_.begin() + count);
    handed_ += static_cast<std::uint64_t>(count);
    pacing_.Handed(now, static_cast<std::size_t>(count));
    txBusy_ = true;
    return 0;
}

void PosixSerialDevice::DropOutput() {
    outputDropped_ = outputDropped_ || !pending_.empty();
    pending_.clear();
}

int PosixSerialDevice::OutputDelivered(bool& delivered) {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return EBADF;
    }
    delivered = !outputDropped_;
    return outputDropped_ ? EIO : 0;
}

int PosixSerialDevice::ModemLines(int& lines) {
    lines = 0;
    if (!fd_.Valid() || !modemLinesKnown_) {
        return 0;
    }
    if (::ioctl(fd_.Get(), TIOCMGET, &lines) != 0) {
        lines = 0;
        return NoModemLines(errno) ? 0 : errno;
    }
    return 0;
}

int PosixSerialDevice::SetLine(int line, bool on) {
    if (::ioctl(fd_.Get(), on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !NoModemLines(errno)) {
        return errno;
    }
    return 0;
}

} // namespace feedrail
