#include "service/WorkLoop.h"

#include <utility>

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

// Only what was due when it began, so that work that posts more work (a
// wait that polls) does not keep a nested call from returning; taken one
// piece at a time, so that a piece that runs long (a send) leaves the rest to
// the nested calls it makes.
int WorkLoop::RunPending() {
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
    int ran = 0;
    for (; timed > 0; --timed, ++ran) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex_);
            if (timed_.empty() || timed_.begin()->first > Clock::now()) {
                break;
            }
            work = std::move(timed_.begin()->second);
            timed_.erase(timed_.begin());
        }
        RunOne(work);
    }
    for (; posted > 0; --posted, ++ran) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex_);
            if (posted_.empty()) {
                break;
            }
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        RunOne(work);
    }
    return ran;
}

void WorkLoop::RunOne(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        HandleException(std::current_exception());
    }
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
