#include "serial/device/PosixSerialDevice.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/ioctl.h>
#include <unistd.h>

// The device's pass on its shared line thread: what it reads from the
// terminal, which lines and counters it watches, and when it looks again.

namespace feedrail {
namespace {

using namespace CommEventBit;

// How often modem lines and error counters are looked at while they are watched.
constexpr auto LinePollInterval = std::chrono::milliseconds(10);

} // namespace

LineWait PosixSerialDevice::LinePass(bool lineGone) {
    if (WaitersFirst(inputCutAt_, Clock::now())) {
        return {.Input = false, .Due = Clock::now() + FloodPause};
    }
    const std::lock_guard lock(mutex_);
    if (closed_ || Stopping()) {
        return {};
    }
    // A hung-up terminal reads 0 bytes rather than failing: only poll tells
    // that the other side has gone. What came before is kept.
    if (lineGone) {
        DrainInput();
        MarkHungUp();
    }
    const Clock::time_point now = Clock::now();
    const std::size_t kept = input_.size();
    DrainInput();
    if (const int error = PushPending(now)) {
        writeError_ = error;
    }
    PollLineChanges();
    PollErrorCounters();
    CheckTxEmpty(now);
    NotifyWaiters();
    // The rest of a flood waits for the thread's other lines' passes.
    if (inputCut_) {
        inputCutAt_ = now;
        return {.Input = false, .Due = now};
    }
    if (!hungUp_ && Gathering(input_.size() > kept)) {
        return {.Line = fd_.Get(), .Due = std::min(NextPass(now), now + InputGathering())};
    }
    return {
        .Line = fd_.Get(), .Input = !hungUp_ && input_.size() < inputLimit_, .Due = NextPass(now)};
}

void PosixSerialDevice::MarkHungUp() {
    if (!hungUp_) {
        hungUp_ = true;
        errors_ |= CommErrorBit::CE_HANGUP;
        events_ |= EV_ERR;
        changed_.notify_all();
        NotifyIfEvents();
    }
}

void PosixSerialDevice::DrainInput() {
    if (closed_ || hungUp_) {
        return;
    }
    bool dsrOn = true;
    if ((settings_.Flags & DcbFlag::fDsrSensitivity) != 0) {
        int lines = 0;
        dsrOn = ModemLines(lines) == 0 && (lines & TIOCM_DSR) != 0;
    }
    std::array<char, 512> buffer{};
    std::size_t taken = 0;
    inputCut_ = false;
    while (input_.size() < inputLimit_) {
        if (taken >= InputBatch) {
            inputCut_ = true;
            break;
        }
        const std::size_t room = std::min(buffer.size(), inputLimit_ - input_.size());
        const ssize_t count = ::read(fd_.Get(), buffer.data(), room);
        if (count < 0 && errno == EIO) {
            // The other side of a pseudo-terminal has gone.
            MarkHungUp();
        }
        if (count <= 0) {
            break;
        }
        taken += static_cast<std::size_t>(count);
        Tapped(false, buffer.data(), static_cast<std::size_t>(count));
        for (ssize_t i = 0; i < count; ++i) {
            TakeInputByte(buffer[static_cast<std::size_t>(i)], dsrOn);
        }
    }
    // DTR handshake: the line tells the sender whether there is room.
    if ((settings_.Flags & DcbFlag::DtrControlMask) == DcbFlag::DtrControlHandshake) {
        const bool full = input_.size() >= inputLimit_;
        if (full != dtrHeldLow_) {
            dtrHeldLow_ = full;
            SetLine(TIOCM_DTR, !full);
        }
    }
}

void PosixSerialDevice::PollLineChanges() {
    constexpr std::uint32_t lineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
    if (hungUp_ || !modemLinesKnown_ || (eventMask_ & lineEvents) == 0) {
        return;
    }
    int lines = 0;
    if (ModemLines(lines) != 0) {
        return;
    }
    const int changed = lines ^ lastLines_;
    lastLines_ = lines;
    events_ |= ((changed & TIOCM_CTS) != 0 ? EV_CTS : 0) |
               ((changed & TIOCM_DSR) != 0 ? EV_DSR : 0) |
               ((changed & TIOCM_CAR) != 0 ? EV_RLSD : 0) |
               ((changed & TIOCM_RNG) != 0 && (lines & TIOCM_RNG) != 0 ? EV_RING : 0);
}

void PosixSerialDevice::PollErrorCounters() {
    if (!countersKnown_ || closed_ || hungUp_) {
        return;
    }
    serial_icounter_struct counters{};
    if (::ioctl(fd_.Get(), TIOCGICOUNT, &counters) != 0) {
        return;
    }
    using namespace CommErrorBit;
    std::uint32_t found = 0;
    found |= counters.frame != lastCounters_.frame ? CE_FRAME : 0;
    found |= counters.overrun != lastCounters_.overrun ? CE_OVERRUN : 0;
    found |= counters.parity != lastCounters_.parity ? CE_RXPARITY : 0;
    found |= counters.buf_overrun != lastCounters_.buf_overrun ? CE_RXOVER : 0;
    found |= counters.brk != lastCounters_.brk ? CE_BREAK : 0;
    // Short pulses of the lines that polling would miss still count as changes.
    events_ |= counters.cts != lastCounters_.cts ? EV_CTS : 0;
    events_ |= counters.dsr != lastCounters_.dsr ? EV_DSR : 0;
    events_ |= counters.dcd != lastCounters_.dcd ? EV_RLSD : 0;
    events_ |= counters.rng != lastCounters_.rng ? EV_RING : 0;
    lastCounters_ = counters;
    errors_ |= found;
    events_ |= (found & ~CE_BREAK) != 0 ? EV_ERR : 0;
    events_ |= (found & CE_BREAK) != 0 ? EV_BREAK : 0;
}

void PosixSerialDevice::CheckTxEmpty(Clock::time_point now) {
    if (txBusy_ && pending_.empty() && Backlog(now) == 0) {
        txBusy_ = false;
        events_ |= EV_TXEMPTY;
    }
}

PosixSerialDevice::Clock::time_point PosixSerialDevice::NextPass(Clock::time_point now) {
    Clock::duration limit = Clock::duration::max();
    // Nothing of a device that has gone is worth a look until it is closed.
    if (hungUp_) {
        return Clock::time_point::max();
    }
    constexpr std::uint32_t polled = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR | EV_BREAK;
    if ((eventMask_ & polled) != 0 && (modemLinesKnown_ || countersKnown_)) {
        limit = LinePollInterval;
    }
    if (!pending_.empty() && OutputAllowed()) {
        limit = std::min<Clock::duration>({limit, pacing_.UntilRoom(now), LinePollInterval});
    } else if (txBusy_) {
        // The driver may still hold bytes when the paced time is up.
        const Clock::duration onWire = pacing_.UntilWireFree(now);
        const Clock::duration untilEmpty =
            onWire > Clock::duration(0) ? onWire : pacing_.CharTime();
        limit = std::min<Clock::duration>({limit, untilEmpty, LinePollInterval});
    }
    return limit == Clock::duration::max() ? Clock::time_point::max() : now + limit;
}

} // namespace feedrail
