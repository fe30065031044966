#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace feedrail {

// An event loop of the service, run by a thread of its own, shared by
// several machines (each through its MachineLoop): what their ports'
// devices post and work for later (the sends' pumps). Its work lets
// nothing escape.
class WorkLoop {
public:
    using Clock = std::chrono::steady_clock;

    // Any thread.
    void Post(std::function<void()> work);
    // The loop's own thread.
    void After(std::chrono::milliseconds time, std::function<void()> work);
    // Ends Run.
    void Quit();
    // Runs work as it comes until Quit.
    void Run();

private:
    // Runs what was due when it began.
    void RunPending();

    std::mutex mutex_;
    std::condition_variable woken_;
    std::deque<std::function<void()>> posted_;
    std::multimap<Clock::time_point, std::function<void()>> timed_;
    bool quitting_ = false;
};

} // namespace feedrail
