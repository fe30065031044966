#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <chrono>
#include <functional>

namespace feedrail::test {

// Runs the event loop until `done` or the time is up; says whether `done`.
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return done();
}

inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return PumpUntil(done, static_cast<int>(timeout.count()));
}

inline void PumpFor(int milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

} // namespace feedrail::test
