#include "serial/device/BufferedSerialDevice.h"

#include "serial/device/LineThreads.h"

#include <algorithm>
#include <cerrno>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace feedrail {

using namespace CommEventBit;

BufferedSerialDevice::BufferedSerialDevice(WritePacing::Reach reach)
    : pacing_(reach), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (!wake_.Valid()) {
        throw std::system_error(errno, std::generic_category());
    }
}

void BufferedSerialDevice::StartSharedLine(LineServed& served) {
    LineLease lease = LineThreads::Process().Serve(served, wake_.Get());
    const auto lock = Hold();
    lease_ = std::move(lease);
}

// A shared thread takes the most favourable niceness its devices ask for.
void BufferedSerialDevice::SetThreadNiceness(int niceness) {
    const auto lock = Hold();
    lease_.SetNiceness(niceness);
}

bool BufferedSerialDevice::StopLineThread() {
    stopping_.store(true, std::memory_order_release);
    Wake();
    LineLease lease;
    {
        const auto lock = Hold();
        if (closed_) {
            return false;
        }
        closed_ = true;
        listener_ = nullptr;
        lease = std::move(lease_);
        Wake();
    }
    changed_.notify_all();
    // Without the lock, which a pass under way waits for.
    lease = LineLease();
    return true;
}

std::unique_lock<std::mutex> BufferedSerialDevice::Hold() const {
    waiting_.fetch_add(1, std::memory_order_relaxed);
    std::unique_lock lock(mutex_);
    waiting_.fetch_sub(1, std::memory_order_relaxed);
    return lock;
}

int BufferedSerialDevice::GetSettings(SerialSettings& settings) {
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    settings = settings_;
    return 0;
}

int BufferedSerialDevice::SetTimeouts() {
    const auto lock = Hold();
    // Reads never wait; writes are limited by Write's own time-out.
    return closed_ ? EBADF : 0;
}

int BufferedSerialDevice::SetQueueSizes(std::uint32_t inputBytes, std::uint32_t outputBytes) {
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    if (inputBytes == 0 || outputBytes == 0 || inputBytes > (1U << 24)) {
        return EINVAL;
    }
    inputLimit_ = inputBytes;
    return 0;
}

int BufferedSerialDevice::SetEventMask(std::uint32_t mask) {
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    eventMask_ = mask;
    // What happened before the events were watched (while a port was being
    // set up) is still reported: bytes that wait, a device reached, and one
    // that went.
    events_ = (input_.empty() ? 0 : EV_RXCHAR) | (events_ & EV_REACHED) |
              ((errors_ & CommErrorBit::CE_HANGUP) != 0 ? EV_ERR : 0);
    // The line thread polls the lines only while their events are watched.
    Wake();
    NotifyIfEvents();
    return 0;
}

void BufferedSerialDevice::WatchLine(bool on) {
    const auto lock = Hold();
    watching_ = on && !closed_;
    if (!watching_) {
        tap_.Clear();
    }
}

std::vector<TappedBytes> BufferedSerialDevice::TakeLineTraffic(std::uint64_t& dropped) {
    const auto lock = Hold();
    return tap_.Take(dropped);
}

void BufferedSerialDevice::SetEventListener(std::function<void()> listener) {
    const auto lock = Hold();
    listener_ = closed_ ? nullptr : std::move(listener);
    announced_ = false;
    NotifyIfEvents();
}

int BufferedSerialDevice::TakeEvents(std::uint32_t& events) {
    events = 0;
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    events = events_ & eventMask_;
    events_ = 0;
    announced_ = false;
    return 0;
}

int BufferedSerialDevice::Write(const char* data, std::size_t count, int timeoutMs,
                                std::size_t& written) {
    written = 0;
    auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    if (count == 0) {
        return 0;
    }
    if (const int refused = Refusal(count)) {
        return refused;
    }
    const bool lineThreadIdle = pending_.empty();
    pending_.insert(pending_.end(), data, data + count);
    // Done when this call's bytes are out but for a few that wait their turn
    // here, so that a writer of single bytes does not wait for the line
    // thread at every byte.
    const std::uint64_t goal = handed_ + pending_.size();
    const auto accepted = [&] { return handed_ + pacing_.BacklogLimit() >= goal; };
    // Most bytes go out at once; the rest are the line thread's to send.
    DrainInput();
    writeError_ = PushPending(Clock::now());
    // With bytes already waiting, the line thread is due back for them anyway.
    if ((lineThreadIdle && !pending_.empty() && writeError_ == 0) || LineThreadDue()) {
        Wake();
    }
    // What the drain above took in is announced like what the line thread takes.
    NotifyIfEvents();
    if (!accepted() && writeError_ == 0 && timeoutMs > 0) {
        ++writeWaiters_;
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return closed_ || accepted() || writeError_ != 0; });
        --writeWaiters_;
    }
    if (closed_) {
        return EBADF;
    }
    if (writeError_ != 0) {
        return std::exchange(writeError_, 0);
    }
    written = accepted() ? count : 0;
    return 0;
}

int BufferedSerialDevice::Read(char* data, std::size_t count, std::size_t& read) {
    read = 0;
    const auto lock = Hold();
    if (closed_) {
        return EBADF;
    }
    DrainInput();
    const bool wasFull = input_.size() >= inputLimit_;
    read = std::min(count, input_.size());
    std::copy_n(input_.begin(), read, data);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(read));
    if (wasFull) {
        InputRoomMade();
    }
    NotifyIfEvents();
    return 0;
}

void BufferedSerialDevice::Unread(const char* data, std::size_t count) {
    const auto lock = Hold();
    if (!closed_) {
        input_.insert(input_.begin(), data, data + count);
    }
}

void BufferedSerialDevice::TakeInputByte(char byte, bool dsrOn) {
    const ReceivedByte received = ClassifyReceivedByte(settings_, byte, dsrOn);
    switch (received.Fate) {
    case ByteFate::TakeXon:
    case ByteFate::TakeXoff:
        xoffReceived_ = received.Fate == ByteFate::TakeXoff;
        return;
    case ByteFate::DropNul:
    case ByteFate::DropDsrOff:
        return;
    case ByteFate::Keep:
        break;
    }
    if (received.Xoff) {
        xoffReceived_ = *received.Xoff;
    }
    if (received.EventChar) {
        events_ |= EV_RXFLAG;
    }
    input_.push_back(byte);
    events_ |= EV_RXCHAR;
}

void BufferedSerialDevice::NotifyIfEvents() {
    if ((events_ & eventMask_) != 0 && !announced_ && listener_) {
        announced_ = true;
        listener_();
    }
}

void BufferedSerialDevice::NotifyWaiters() {
    NotifyIfEvents();
    if (writeWaiters_ > 0) {
        changed_.notify_all();
    }
}

void BufferedSerialDevice::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wake_.Get(), &one, sizeof one);
}

} // namespace feedrail
