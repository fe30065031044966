#pragma once

#include "serial/TVaCustomComm.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace feedrail {

// The port's output queue as a send sees it: what the send handed it, what
// has left it and which lines that ends, how much it should hold ahead of
// the line, and when to look again.
class SendQueue {
public:
    explicit SendQueue(TVaCustomComm& port) : port_(port) {}

    // A new send: nothing handed, nothing out.
    void Reset();
    // Hands the port `size` bytes; `lineEnd`, the number of the line they
    // end, when they end one.
    void Hand(const char* data, std::size_t size, std::optional<int> lineEnd = std::nullopt);
    // What the port holds; 0 when it has gone or fails.
    std::size_t Held();
    // Takes note of what has left the port while it holds `held`: whether
    // another line is wholly out.
    bool Follow(std::size_t held);
    // What the port still holds (`held`, as Follow last saw it) never
    // reaches the machine, and neither counts as sent.
    void Drop(std::size_t held);
    // Whether the port has sent all it was given.
    bool AllOut();
    // Everything handed is out; where lines end is no longer looked for.
    void AllGone() { bytesOut_ = bytesSent_; }
    void ForgetLineEnds() { lineEnds_.clear(); }

    // How much the port holds ahead of the line.
    std::size_t HighWater() const;
    // How long a pass may wait while the port holds `held`.
    std::chrono::milliseconds PassWait(std::size_t held) const;

    int LinesSent() const { return linesSent_; }
    std::uint64_t BytesSent() const { return bytesSent_; }
    std::uint64_t BytesOut() const { return bytesOut_; }
    // When the first byte went out.
    std::chrono::steady_clock::time_point Started() const { return started_; }

private:
    TVaCustomComm& port_;
    std::chrono::steady_clock::time_point started_{};
    // The lines, and the bytes, that have left the port.
    int linesSent_ = 0;
    std::uint64_t bytesOut_ = 0;
    std::uint64_t bytesSent_ = 0;
    // Where each line handed to the port ends, in bytes sent, with its number.
    std::deque<std::pair<std::uint64_t, int>> lineEnds_;
};

} // namespace feedrail
