#include "service/WorkLoop.h"

#include <utility>
#include <vector>

namespace feedrail {

void WorkLoop::Post(std::function<void()> dispatch) {
    {
        const std::lock_guard lock(mutex_);
        posted_.push_back(std::move(dispatch));
    }
    woken_.notify_one();
}

void WorkLoop::HandleException(std::exception_ptr error) {
    if (onError_) {
        onError_(error);
    }
}

void WorkLoop::Quit() {
    {
        const std::lock_guard lock(mutex_);
        quitting_ = true;
    }
    woken_.notify_one();
}

bool WorkLoop::Quitting() const {
    const std::lock_guard lock(mutex_);
    return quitting_;
}

void WorkLoop::Defer(std::function<void()> work) {
    Post(std::move(work));
}

void WorkLoop::After(std::chrono::milliseconds time, std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    timed_.emplace(Clock::now() + time, std::move(work));
}

// Only what was due when it began: work that posts more work (a wait that
// polls) does not keep a nested call from returning.
int WorkLoop::RunPending() {
    std::vector<std::function<void()>> due;
    {
        const std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        while (!timed_.empty() && timed_.begin()->first <= now) {
            due.push_back(std::move(timed_.begin()->second));
            timed_.erase(timed_.begin());
        }
        for (auto& work : posted_) {
            due.push_back(std::move(work));
        }
        posted_.clear();
    }
    for (const auto& work : due) {
        RunOne(work);
    }
    return static_cast<int>(due.size());
}

void WorkLoop::RunOne(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

void WorkLoop::RunFor(std::chrono::milliseconds time) {
    RunUntil(Clock::now() + time);
}

void WorkLoop::Run() {
    RunUntil(Clock::time_point::max());
}

void WorkLoop::RunUntil(Clock::time_point end) {
    for (;;) {
        RunPending();
        std::unique_lock lock(mutex_);
        if (quitting_ || Clock::now() >= end) {
            return;
        }
        auto wake = end;
        if (!timed_.empty() && timed_.begin()->first < wake) {
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
