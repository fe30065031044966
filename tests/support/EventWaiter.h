#pragma once

#include "serial/device/SerialDevice.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace feedrail::test {

// Listens to a device alone, as a port does, for tests that drive a device
// without one: counts the listener's calls and waits for them.
class EventWaiter {
public:
    explicit EventWaiter(SerialDevice& device);
    EventWaiter(const EventWaiter&) = delete;
    EventWaiter& operator=(const EventWaiter&) = delete;
    ~EventWaiter();

    // Waits until the listener is called (at once if it was), then takes
    // the events; 0 when `limit` passes first.
    std::uint32_t Wait(std::chrono::milliseconds limit);
    // How often the listener has been called.
    int Calls() const;

private:
    SerialDevice& device_;
    mutable std::mutex mutex_;
    std::condition_variable called_;
    int calls_ = 0;
    int taken_ = 0;
};

} // namespace feedrail::test
