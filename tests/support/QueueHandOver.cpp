#include "support/QueueHandOver.h"

namespace feedrail::test {

void QueueHandOver::Post(std::function<void()> dispatch) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(dispatch));
    }
    posted_.notify_all();
}

void QueueHandOver::HandleException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        Errors.emplace_back(e.what());
    }
}

int QueueHandOver::RunPending() {
    std::deque<std::function<void()>> ready;
    {
        const std::lock_guard lock(mutex_);
        ready.swap(queue_);
    }
    for (auto& dispatch : ready) {
        dispatch();
    }
    return static_cast<int>(ready.size());
}

bool QueueHandOver::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        {
            // Short waits, so that conditions that no dispatch changes are seen too.
            std::unique_lock lock(mutex_);
            posted_.wait_for(lock, std::chrono::milliseconds(5),
                             [this] { return !queue_.empty(); });
        }
        RunPending();
    }
    return true;
}

bool QueueHandOver::WaitForPost(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return posted_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
}

} // namespace feedrail::test
