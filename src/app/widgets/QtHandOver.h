#pragma once

#include "serial/EventHandOver.h"

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace feedrail {

// The serial hand-over on the Qt event loop. Dispatches a device posts
// queue here and run on the user-interface thread when the event loop gets to
// them, or earlier when a running loop calls RunPending, which runs the
// hand-overs and nothing else (no clicks, no timer ticks).
class QtHandOver : public QObject, public EventHandOver {
    Q_OBJECT
public:
    using ErrorHandler = std::function<void(std::exception_ptr)>;

    explicit QtHandOver(ErrorHandler onError, QObject* parent = nullptr);

    void Post(std::function<void()> dispatch) override;
    void HandleException(std::exception_ptr error) override;

    void RunPending();

private:
    ErrorHandler onError_;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

} // namespace feedrail
