#pragma once

#include "service/LineWatchers.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>

namespace feedrail {

// The line monitors of the web pages. A page polls for what crossed its
// machine's line since its last poll; each page's watch has a queue of its
// own, which goes when the page stops polling, so that the machine watches
// its port only while a page looks. Bounded: MaxPerMachine watches of a
// machine and MaxWatches in all, each queue QueueLimit bytes (the oldest
// lost past it, counted), MostBytesAnswered taken a poll.
class WebMonitors {
public:
    using Watch = std::function<LineWatch(const std::string& machine, std::size_t limit)>;

    // Raises std::system_error when its thread cannot start.
    explicit WebMonitors(Watch watch);
    ~WebMonitors();
    WebMonitors(const WebMonitors&) = delete;
    WebMonitors& operator=(const WebMonitors&) = delete;

    struct Answer {
        int Status = 200;
        std::string Json;
    };
    // Any thread. What came on `machine`'s line for the watch named (a new
    // watch when it names none, or one gone), as JSON: "watch" (to name in
    // the next poll), "lines" (each "sent", "received" or "note" with its
    // text as the line monitors word it) and "ended" (why no more comes, or
    // null). 503 when the watches are all taken.
    Answer Poll(const std::string& machine, const std::string& watch);

    static constexpr std::size_t MaxPerMachine = 4;
    static constexpr std::size_t MaxWatches = 16;
    static constexpr std::size_t QueueLimit = 256 * 1024;
    // A poll's bytes as words and JSON escapes grow up to seventeenfold.
    static constexpr std::size_t MostBytesAnswered = 16 * 1024;
    // A watch not polled for this long is dropped.
    static constexpr std::chrono::seconds Expiry{10};
    // A new watch's first poll waits this long at most for its first bytes,
    // so that it shows the line at once.
    static constexpr std::chrono::milliseconds FirstWait{300};

private:
    using Clock = std::chrono::steady_clock;

    struct Monitor {
        std::string Machine;
        std::shared_ptr<TrafficQueue> Queue;
        Clock::time_point Until;
    };

    std::shared_ptr<TrafficQueue> Find(const std::string& machine, const std::string& watch);
    std::optional<std::string> Refusal(const std::string& machine) const;
    // With the lock held.
    std::optional<std::string> RefusalHeld(const std::string& machine) const;
    // The new watch's name; empty, and `refused` says why, when there is no
    // room for it.
    std::string Add(const std::string& machine, std::shared_ptr<TrafficQueue> queue,
                    std::string& refused);
    void DropExpired();
    void Sweep();

    Watch watch_;
    mutable std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::map<std::string, Monitor> monitors_;
    std::mt19937_64 names_{std::random_device{}()};
    std::thread sweeper_;
};

} // namespace feedrail
