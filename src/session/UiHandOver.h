#pragma once

#include <chrono>
#include <functional>

namespace feedrail {

// Work handed back to the window's event loop.
class UiHandOver {
public:
    virtual ~UiHandOver() = default;

    // Runs `work` after the current handler has returned.
    virtual void Defer(std::function<void()> work) = 0;
    // Runs `work` once `time` has passed, from the event loop.
    virtual void After(std::chrono::milliseconds time, std::function<void()> work) = 0;
    // The port-open tick reopens the port in a moment and carries out the
    // pending request.
    virtual void ArmCommOpenTimer() = 0;
};

} // namespace feedrail
