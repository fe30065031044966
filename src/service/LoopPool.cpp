#include "service/LoopPool.h"

#include <algorithm>

namespace feedrail {

LoopPool::LoopPool(std::size_t loops) : loops_(std::max<std::size_t>(loops, 1)) {
    try {
        for (Served& served : loops_) {
            served.Thread = std::thread([loop = served.Loop.get()] { loop->Run(); });
        }
    } catch (...) {
        Stop();
        throw;
    }
}

LoopPool::~LoopPool() {
    Stop();
}

void LoopPool::Stop() {
    for (Served& served : loops_) {
        if (served.Thread.joinable()) {
            served.Loop->Quit();
            served.Thread.join();
        }
    }
}

WorkLoop& LoopPool::Take() {
    const std::lock_guard lock(mutex_);
    Served& fewest =
        *std::min_element(loops_.begin(), loops_.end(),
                          [](const Served& a, const Served& b) { return a.Machines < b.Machines; });
    ++fewest.Machines;
    return *fewest.Loop;
}

void LoopPool::Give(WorkLoop& loop) {
    const std::lock_guard lock(mutex_);
    for (Served& served : loops_) {
        if (served.Loop.get() == &loop) {
            --served.Machines;
        }
    }
}

} // namespace feedrail
