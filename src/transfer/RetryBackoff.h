#pragma once

#include <chrono>
#include <functional>

namespace feedrail {

// How long a port that will not open, or keeps going again, waits before
// its next try: 2 seconds, doubling up to a minute, so that a device server
// that is down or takes one client at a time does not flood the journal and
// the log; back to 2 seconds once the line has stayed up for a minute.
class RetryBackoff {
public:
    using Clock = std::chrono::steady_clock;

    explicit RetryBackoff(std::function<Clock::time_point()> now = Clock::now)
        : now_(std::move(now)) {}

    // A try failed, or the line went: the wait before the next try.
    std::chrono::seconds Failed();
    // The line is up again.
    void Up();

    static constexpr std::chrono::seconds First{2};
    static constexpr std::chrono::seconds Longest{60};

private:
    std::function<Clock::time_point()> now_;
    std::chrono::seconds next_ = First;
    bool up_ = false;
    Clock::time_point upSince_{};
};

} // namespace feedrail
