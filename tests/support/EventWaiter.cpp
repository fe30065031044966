#include "support/EventWaiter.h"

namespace feedrail::test {

EventWaiter::EventWaiter(SerialDevice& device) : device_(device) {
    device_.SetEventListener([this] {
        {
            const std::lock_guard lock(mutex_);
            ++calls_;
        }
        called_.notify_all();
    });
}

EventWaiter::~EventWaiter() {
    device_.SetEventListener(nullptr);
}

std::uint32_t EventWaiter::Wait(std::chrono::milliseconds limit) {
    {
        std::unique_lock lock(mutex_);
        if (!called_.wait_for(lock, limit, [this] { return calls_ > taken_; })) {
            return 0;
        }
        taken_ = calls_;
    }
    std::uint32_t events = 0;
    device_.TakeEvents(events);
    return events;
}

int EventWaiter::Calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

} // namespace feedrail::test
