#pragma once

#include <QTimer>
#include <functional>

namespace feedrail {

// Times an animation's ticks on the user-interface thread as a worker thread
// would that hands each tick over, waits for it to run and then sleeps for
// the pause in effect: the first resume ticks at once; a suspend while asleep
// keeps the rest of that sleep for the next resume; a suspend from inside a
// tick leaves the worker in its hand-over, so the next resume sleeps a whole
// pause before it ticks.
class AnimationTicker {
public:
    AnimationTicker(std::function<void()> tick, int pause);

    void Resume();
    void Suspend();
    bool Running() const { return running_; }
    // Takes effect from the next sleep on.
    void SetPause(int milliseconds) { pause_ = milliseconds; }
    int Pause() const { return pause_; }

private:
    void Tick();
    void Sleep(int milliseconds);

    std::function<void()> tick_;
    QTimer timer_;
    int pause_;
    bool running_ = false;
    bool ticking_ = false;
    bool inHandOver_ = false;
    int restOfSleep_ = 0;
};

} // namespace feedrail
