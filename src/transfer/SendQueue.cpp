#include "transfer/SendQueue.h"

#include "serial/EVaCommError.h"

#include <algorithm>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

// The port holds this much of the program ahead of the line: enough to ride
// out a late pass of a busy event loop, little enough that Stop drops little
// and the progress is near the truth.
constexpr std::int64_t AheadPerSecond = 10;
constexpr std::size_t MinAhead = 64;
// A pass never waits longer than this, so that a port held by the machine
// and then freed is fed again soon.
constexpr auto LongestPassWait = 50ms;

} // namespace

void SendQueue::Reset() {
    linesSent_ = 0;
    bytesSent_ = 0;
    bytesOut_ = 0;
}

void SendQueue::Hand(const char* data, std::size_t size, std::optional<int> lineEnd) {
    port_.QueueBuf(data, size);
    bytesSent_ += size;
    if (lineEnd) {
        lineEnds_.emplace_back(bytesSent_, *lineEnd);
    }
}

std::size_t SendQueue::Held() {
    try {
        return port_.Active() ? port_.OutputQueued() : 0;
    } catch (const EVaCommError&) {
        // A port that fails holds nothing that will still go out.
        return 0;
    }
}

// The lines whose last byte has left the port are the lines sent: the
// highlight, the progress and the record follow the line, not the pump.
bool SendQueue::Follow(std::size_t held) {
    const bool nothingOutYet = bytesOut_ == 0;
    bytesOut_ = bytesSent_ - std::min<std::uint64_t>(held, bytesSent_);
    // The rate runs from the first byte, not from a wait for the machine.
    if (nothingOutYet && bytesOut_ > 0) {
        started_ = std::chrono::steady_clock::now();
    }
    const int before = linesSent_;
    while (!lineEnds_.empty() && lineEnds_.front().first <= bytesOut_) {
        linesSent_ = lineEnds_.front().second;
        lineEnds_.pop_front();
    }
    return linesSent_ != before;
}

void SendQueue::Drop(std::size_t held) {
    try {
        if (port_.Active()) {
            port_.PurgeWrite();
        }
    } catch (const EVaCommError&) {
        // The port is failing: it holds nothing that will go out.
    }
    bytesSent_ -= std::min<std::uint64_t>(held, bytesSent_);
}

bool SendQueue::AllOut() {
    try {
        return port_.OutputQueued() == 0 && port_.OutputDelivered();
    } catch (const EVaCommError&) {
        return false;
    }
}

// The port's own rate, not the profile's: that is the one the line runs at.
std::size_t SendQueue::HighWater() const {
    const std::size_t perSecond = port_.BitsPerSecond() / 10;
    return std::max(MinAhead, perSecond / AheadPerSecond);
}

// Until about half the queue is out, at ten bits a character.
std::chrono::milliseconds SendQueue::PassWait(std::size_t held) const {
    const std::size_t half = HighWater() / 2;
    const std::uint32_t rate = port_.BitsPerSecond();
    if (held <= half || rate == 0) {
        return 1ms;
    }
    const auto ms = static_cast<std::int64_t>(held - half) * 10'000 / rate;
    return std::clamp(std::chrono::milliseconds(ms), 1ms,
                      std::chrono::duration_cast<std::chrono::milliseconds>(LongestPassWait));
}

} // namespace feedrail
