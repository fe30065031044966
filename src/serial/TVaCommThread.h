#pragma once

#include "serial/EventHandOver.h"
#include "serial/TVaTypes.h"
#include "serial/device/SerialDevice.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace feedrail {

// The event thread of an open port. It waits for device events and hands each
// result to the user-interface thread, blocking until the handlers have run
// there, so that every serial handler runs on that thread, one result at a
// time. It owns itself: it ends and frees itself after Stop.
class TVaCommThread : public std::enable_shared_from_this<TVaCommThread> {
public:
    using RxCharCallback = std::function<void()>;
    using EventCallback = std::function<void(std::uint32_t mask)>;

    static std::shared_ptr<TVaCommThread> Create(std::shared_ptr<SerialDevice> device,
                                                 TThreadPriority priority, EventHandOver& handOver);
    TVaCommThread(const TVaCommThread&) = delete;
    TVaCommThread& operator=(const TVaCommThread&) = delete;

    // Set on the user-interface thread before Start.
    void SetRxCharHandler(RxCharCallback handler) { rxCharHandler_ = std::move(handler); }
    void SetEventHandler(EventCallback handler) { eventHandler_ = std::move(handler); }

    void Start();
    // Ends the thread without waiting for it: no handler runs after Stop returns.
    void Stop();

    // How many event threads are alive in the program.
    static int Running() { return running_.load(); }

private:
    TVaCommThread(std::shared_ptr<SerialDevice> device, TThreadPriority priority,
                  EventHandOver& handOver);

    void Execute();
    void HandOver(std::uint32_t events);
    void DispatchEvents();

    static std::atomic<int> running_;

    std::shared_ptr<SerialDevice> device_;
    TThreadPriority priority_;
    EventHandOver& handOver_;

    std::mutex mutex_;
    std::condition_variable dispatched_;
    bool terminated_ = false;
    bool dispatchDone_ = false;
    std::uint32_t eventMask_ = 0;

    // Used on the user-interface thread only.
    RxCharCallback rxCharHandler_;
    EventCallback eventHandler_;
};

} // namespace feedrail
