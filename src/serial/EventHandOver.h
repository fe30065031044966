#pragma once

#include <exception>
#include <functional>

namespace feedrail {

// How a port's device events reach the thread that owns the port. The window
// (or the service's loop, or a test) implements it: Post queues `dispatch` to
// run on the owner's thread, and that thread runs what is queued whenever it
// handles its messages, also from inside a running loop. Post may be called
// from any thread, with a device's lock held: it must only queue, never run
// `dispatch` itself nor wait.
class EventHandOver {
public:
    virtual ~EventHandOver() = default;

    virtual void Post(std::function<void()> dispatch) = 0;
    // Called on the owner's thread with an error that escaped an event
    // handler; the program shows it as it shows any handler's error.
    virtual void HandleException(std::exception_ptr error) = 0;
};

} // namespace feedrail
