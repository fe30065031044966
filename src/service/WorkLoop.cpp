#include "service/WorkLoop.h"

#include <utility>

namespace feedrail {

void WorkLoop::Post(std::function<void()> work) {
    {
        const std::lock_guard lock(mutex_);
        posted_.push_back(std::move(work));
    }
    woken_.notify_one();
}

void WorkLoop::Quit() {
    {
        const std::lock_guard lock(mutex_);
        quitting_ = true;
    }
    woken_.notify_one();
}

void WorkLoop::After(std::chrono::milliseconds time, std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    timed_.emplace(Clock::now() + time, std::move(work));
}

// Only what was due when it began, so that work that posts more work does
// not hold back the timed work.
void WorkLoop::RunPending() {
    std::size_t posted = 0;
    std::size_t timed = 0;
    {
        const std::lock_guard lock(mutex_);
        posted = posted_.size();
        const auto now = Clock::now();
        for (auto it = timed_.begin(); it != timed_.end() && it->first <= now; ++it) {
            ++timed;
        }
    }
    for (; timed > 0; --timed) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex_);
            if (timed_.empty() || timed_.begin()->first > Clock::now()) {
                break;
            }
            work = std::move(timed_.begin()->second);
            timed_.erase(timed_.begin());
        }
        work();
    }
    for (; posted > 0; --posted) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex_);
            if (posted_.empty()) {
                break;
            }
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        work();
    }
}

void WorkLoop::Run() {
    for (;;) {
        RunPending();
        std::unique_lock lock(mutex_);
        if (quitting_) {
            return;
        }
        auto wake = Clock::time_point::max();
        if (!timed_.empty()) {
            wake = timed_.begin()->first;
        }
        const auto woken = [this] { return quitting_ || !posted_.empty(); };
        if (wake == Clock::time_point::max()) {
            woken_.wait(lock, woken);
        } else {
            woken_.wait_until(lock, wake, woken);
        }
    }
}

} // namespace feedrail
