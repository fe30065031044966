#pragma once

#include "serial/device/LineTap.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace feedrail {

// What one watcher of a machine's line has yet to take, oldest first.
// Bounded: a watcher that falls behind loses the oldest bytes, counted, so
// that it costs the machine neither time nor more memory than the limit.
// The machine's thread fills it, the watcher's takes from it.
class TrafficQueue {
public:
    explicit TrafficQueue(std::size_t limit = DefaultLimit) : limit_(limit) {}

    // `lost`: bytes the line's tap already let go, to be told all the same.
    void Push(const std::vector<TappedBytes>& pieces, std::uint64_t lost);
    // Up to `most` bytes, a piece larger cut in two; `lost` is told the
    // bytes lost since the last take.
    std::vector<TappedBytes> Take(std::size_t most, std::uint64_t& lost);
    // No more comes: what is queued can still be taken. The first reason
    // given stays.
    void End(const std::string& reason);
    // Why the watch ended, once all that was queued has been taken.
    std::optional<std::string> Ended() const;
    // Returns once something can be taken, the watch has ended, or `until`.
    void Wait(std::chrono::steady_clock::time_point until) const;

    static constexpr std::size_t DefaultLimit = 1024 * 1024;

private:
    static std::size_t Cost(const TappedBytes& piece);
    void Trim();

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<TappedBytes> pieces_;
    std::size_t cost_ = 0;
    std::size_t limit_;
    std::uint64_t lost_ = 0;
    std::optional<std::string> ended_;
};

} // namespace feedrail
