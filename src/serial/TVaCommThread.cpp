#include "serial/TVaCommThread.h"

#include <cerrno>
#include <chrono>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace feedrail {

std::atomic<int> TVaCommThread::running_{0};

std::shared_ptr<TVaCommThread> TVaCommThread::Create(std::shared_ptr<SerialDevice> device,
                                                     TThreadPriority priority,
                                                     EventHandOver& handOver) {
    return std::shared_ptr<TVaCommThread>(new TVaCommThread(std::move(device), priority, handOver));
}

TVaCommThread::TVaCommThread(std::shared_ptr<SerialDevice> device, TThreadPriority priority,
                             EventHandOver& handOver)
    : device_(std::move(device)), priority_(priority), handOver_(handOver) {}

void TVaCommThread::Start() {
    ++running_;
    std::thread([self = shared_from_this()] {
        self->Execute();
        --running_;
    }).detach();
}

void TVaCommThread::Stop() {
    {
        const std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    rxCharHandler_ = nullptr;
    eventHandler_ = nullptr;
    dispatched_.notify_all();
    device_->CancelWait();
}

void TVaCommThread::Execute() {
    // Best effort: raising a thread's priority needs privileges most
    // operators do not have, and the port works without it.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -ThreadPriorityValues[priority_]);
    for (;;) {
        std::uint32_t events = 0;
        const int error = device_->WaitEvent(events);
        {
            const std::lock_guard lock(mutex_);
            if (terminated_) {
                return;
            }
        }
        if (error != 0) {
            // A failed wait is not reported; pause so a lasting failure does
            // not spin, then wait again.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } else if (events != 0) {
            HandOver(events);
        }
    }
}

void TVaCommThread::HandOver(std::uint32_t events) {
    std::unique_lock lock(mutex_);
    if (terminated_) {
        return;
    }
    eventMask_ = events;
    dispatchDone_ = false;
    handOver_.Post([self = shared_from_this()] {
        self->DispatchEvents();
        {
            const std::lock_guard doneLock(self->mutex_);
            self->dispatchDone_ = true;
        }
        self->dispatched_.notify_all();
    });
    dispatched_.wait(lock, [this] { return dispatchDone_ || terminated_; });
}

void TVaCommThread::DispatchEvents() {
    std::uint32_t mask = 0;
    {
        const std::lock_guard lock(mutex_);
        mask = eventMask_;
    }
    try {
        if ((mask & CommEventBit::EV_RXCHAR) != 0) {
            // A copy, because a handler that closes the port clears the original.
            if (const RxCharCallback handler = rxCharHandler_) {
                handler();
            }
            mask &= ~CommEventBit::EV_RXCHAR;
        }
        if (mask != 0) {
            if (const EventCallback handler = eventHandler_) {
                handler(mask);
            }
        }
    } catch (...) {
        handOver_.HandleException(std::current_exception());
    }
}

} // namespace feedrail
