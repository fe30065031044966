#pragma once

#include "serial/EventHandOver.h"

#include <chrono>
#include <exception>
#include <functional>
#include <memory>

namespace feedrail {

class LoopPool;
class WorkLoop;

// One machine's share of a WorkLoop that serves several: what its port's
// device posts, its deferred and timed work, run in order on the loop's
// thread; once the machine has closed its share, nothing of it runs, so
// that a machine may go while the loop serves the others.
class MachineLoop : public EventHandOver {
public:
    // Takes the pool's loop that serves the fewest machines.
    explicit MachineLoop(LoopPool& pool);
    ~MachineLoop() override;
    MachineLoop(const MachineLoop&) = delete;
    MachineLoop& operator=(const MachineLoop&) = delete;

    // Any thread.
    void Post(std::function<void()> work) override;
    // The loop's thread: the machine's handler is told.
    void HandleException(std::exception_ptr error) override;
    void Defer(std::function<void()> work);
    void After(std::chrono::milliseconds time, std::function<void()> work);
    // Before the first work is posted: told, on the loop's thread, each
    // error that escaped a piece of the machine's work.
    void OnError(std::function<void(std::exception_ptr)> handler);
    // The loop's thread: nothing posted or due later runs after it.
    void Close();

private:
    // What the machine's work looks at on the loop's thread, shared with
    // the work still queued when the machine has gone.
    struct Share {
        bool Closed = false;
        std::function<void(std::exception_ptr)> OnError;
    };

    std::function<void()> Guarded(std::function<void()> work) const;

    LoopPool& pool_;
    WorkLoop& loop_;
    std::shared_ptr<Share> share_ = std::make_shared<Share>();
};

} // namespace feedrail
