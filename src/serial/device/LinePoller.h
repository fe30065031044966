#pragma once

#include "common/FileDescriptor.h"
#include "serial/device/LineServed.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <sys/epoll.h>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace feedrail {

// One shared line thread: an epoll loop over the lines and wake-up
// descriptors of the devices given to it, which runs a device's pass when
// either is ready or the pass is due. A line is watched as its device's last
// pass asked (LineWait): which descriptor, and for input, output or both. Each ready or due device
// has one pass a round, so that a flood on one line delays another's XOFF by one bounded pass at
// most.
class LinePoller {
public:
    using Clock = std::chrono::steady_clock;

    // Throws std::system_error when no descriptor or thread can be had.
    LinePoller();
    ~LinePoller();
    LinePoller(const LinePoller&) = delete;
    LinePoller& operator=(const LinePoller&) = delete;

    // Serves `served`, whose wake-up eventfd is `wakeFd`, from a first pass
    // at once until Remove; its line is the one each pass gives. The wake-up
    // descriptor stays open until then. Throws std::system_error when it
    // cannot be watched.
    std::uint64_t Add(LineServed& served, int wakeFd);
    // Returns once no pass of the device runs and none will start, its
    // descriptors no longer watched.
    void Remove(std::uint64_t id);
    // The thread runs at the most favourable niceness its devices ask for;
    // 0 asks for the process's own.
    void SetNiceness(std::uint64_t id, int niceness);
    std::size_t Served() const;

private:
    struct Entry {
        // Not owned: a device is removed before it goes.
        LineServed* Served = nullptr;
        int WakeFd = -1;
        // The line as watched: not at all (-1) or for LineEvents.
        int LineFd = -1;
        std::uint32_t LineEvents = 0;
        bool LineGone = false;
        bool Ready = true;
        Clock::time_point Due = Clock::time_point::max();
        int Niceness = 0;
    };

    void Loop();
    // The epoll_wait time-out for the next due pass: 0 when one is due,
    // otherwise -1 with the timer set for it.
    int ArmTimer(Clock::time_point now);
    void Take(const epoll_event& event);
    void RunPasses(std::unique_lock<std::mutex>& lock);
    void WatchLine(std::uint64_t id, Entry& entry, const LineWait& wait);
    void ApplyNiceness();
    void Interrupt();

    mutable std::mutex mutex_;
    std::condition_variable passEnded_;
    std::map<std::uint64_t, Entry> entries_;
    std::vector<std::uint64_t> round_;
    std::uint64_t nextId_ = 1;
    std::uint64_t running_ = 0;
    bool stopping_ = false;
    pid_t threadId_ = 0;
    int ownNiceness_ = 0;
    int appliedNiceness_ = 0;
    Clock::time_point timerSetFor_ = Clock::time_point::max();
    FileDescriptor epoll_;
    FileDescriptor interrupt_;
    FileDescriptor timer_;
    std::thread thread_;
};

} // namespace feedrail
