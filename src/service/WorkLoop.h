#pragma once

#include "serial/EventHandOver.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace feedrail {

// The event loop of one served machine, run by its own thread: what the
// port's device posts, work deferred until a handler has returned and
// work for later (the send's pump).
class WorkLoop : public EventHandOver {
public:
    using Clock = std::chrono::steady_clock;

    // Any thread.
    void Post(std::function<void()> dispatch) override;
    void HandleException(std::exception_ptr error) override;
    // Ends Run; any thread.
    void Quit();
    bool Quitting() const;

    // The loop's own thread.
    void Defer(std::function<void()> work);
    void After(std::chrono::milliseconds time, std::function<void()> work);
    // Runs what is due now; returns how much ran.
    int RunPending();
    // Runs work as it comes until Quit.
    void Run();

    // Called with each error that escaped a piece of work.
    void OnError(std::function<void(std::exception_ptr)> handler) { onError_ = std::move(handler); }

private:
    void RunUntil(Clock::time_point end);
    void RunOne(const std::function<void()>& work);

    mutable std::mutex mutex_;
    std::condition_variable woken_;
    std::deque<std::function<void()>> posted_;
    std::multimap<Clock::time_point, std::function<void()>> timed_;
    bool quitting_ = false;
    std::function<void(std::exception_ptr)> onError_;
};

} // namespace feedrail
