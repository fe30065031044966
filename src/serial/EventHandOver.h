#pragma once

#include <exception>
#include <functional>

namespace feedrail {

// How the serial event thread reaches the user-interface thread. The window
// (or a test) implements it: Post queues `dispatch` to run on the
// user-interface thread, and that thread runs what is queued whenever it
// handles its messages, also from inside a running loop. Post must not run
// `dispatch` itself.
class EventHandOver {
public:
    virtual ~EventHandOver() = default;

    // Called on the event thread.
    virtual void Post(std::function<void()> dispatch) = 0;
    // Called on the user-interface thread with an error that escaped an event
    // handler; the program shows it as it shows any handler's error.
    virtual void HandleException(std::exception_ptr error) = 0;
};

} // namespace feedrail
