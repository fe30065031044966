#pragma once

#include "service/WorkLoop.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace feedrail {

// The service's few event loops, each on a thread of its own, among which
// the machines are shared: a machine stays on the loop it was given.
class LoopPool {
public:
    explicit LoopPool(std::size_t loops);
    // Every machine has given its loop back.
    ~LoopPool();
    LoopPool(const LoopPool&) = delete;
    LoopPool& operator=(const LoopPool&) = delete;

    // Any thread: the loop serving the fewest machines, counted as serving
    // one more until Give.
    WorkLoop& Take();
    void Give(WorkLoop& loop);

private:
    void Stop();

    struct Served {
        std::unique_ptr<WorkLoop> Loop = std::make_unique<WorkLoop>();
        std::size_t Machines = 0;
        std::thread Thread;
    };

    std::mutex mutex_;
    std::vector<Served> loops_;
};

} // namespace feedrail
