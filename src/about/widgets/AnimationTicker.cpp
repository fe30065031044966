#include "about/widgets/AnimationTicker.h"

#include <algorithm>

namespace feedrail {

AnimationTicker::AnimationTicker(std::function<void()> tick, int pause)
    : tick_(std::move(tick)), pause_(pause) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
}

void AnimationTicker::Resume() {
    if (running_) {
        return;
    }
    running_ = true;
    if (!ticking_) {
        Sleep(inHandOver_ ? pause_ : restOfSleep_);
    }
}

void AnimationTicker::Suspend() {
    if (!running_) {
        return;
    }
    running_ = false;
    if (timer_.isActive()) {
        restOfSleep_ = std::max(timer_.remainingTime(), 0);
        timer_.stop();
    }
}

void AnimationTicker::Tick() {
    ticking_ = true;
    tick_();
    ticking_ = false;
    inHandOver_ = true;
    if (running_) {
        Sleep(pause_);
    }
}

void AnimationTicker::Sleep(int milliseconds) {
    inHandOver_ = false;
    timer_.start(std::max(milliseconds, 0));
}

} // namespace feedrail
