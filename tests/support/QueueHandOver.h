#pragma once

#include "serial/EventHandOver.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace feedrail::test {

// The user-interface side of the serial hand-over for tests: dispatches queue
// up until the test thread runs them, which makes the test thread the
// user-interface thread.
class QueueHandOver : public EventHandOver {
public:
    void Post(std::function<void()> dispatch) override;
    void HandleException(std::exception_ptr error) override;

    // Runs every dispatch queued now; returns how many ran.
    int RunPending();
    // Runs dispatches as they come until `done` holds; false on time-out.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Waits until a dispatch is queued, without running it.
    bool WaitForPost(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Messages of the errors that escaped handlers.
    std::vector<std::string> Errors;

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

} // namespace feedrail::test
