#pragma once

#include "serial/device/LineLease.h"
#include "serial/device/LineServed.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace feedrail {

class LinePoller;

// The process's shared line threads: at most Limit() of them, each started
// with the first device given to it and ended with its last. A device goes to
// the thread serving the fewest, for its life, so that hundreds of lines cost
// a few threads.
class LineThreads {
public:
    // min(4, the processors), at least 1.
    static std::size_t Limit();
    // The process's own, made with the first device.
    static LineThreads& Process();

    explicit LineThreads(std::size_t limit);
    LineThreads(const LineThreads&) = delete;
    LineThreads& operator=(const LineThreads&) = delete;

    // Serves `served` (LinePoller::Add) until the lease is given up. Throws
    // std::system_error when no thread or descriptor can be had.
    LineLease Serve(LineServed& served, int wakeFd);

private:
    std::mutex mutex_;
    std::size_t limit_;
    // Owned by the leases alone: a process without an open port keeps no
    // line thread (and forks as one without threads), and a device closed
    // after this has gone (at exit) still finds its own.
    std::vector<std::weak_ptr<LinePoller>> pollers_;
};

} // namespace feedrail
