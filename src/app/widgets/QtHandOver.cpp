#include "app/widgets/QtHandOver.h"

#include <QMetaObject>

namespace feedrail {

QtHandOver::QtHandOver(ErrorHandler onError, QObject* parent)
    : QObject(parent), onError_(std::move(onError)) {}

void QtHandOver::Post(std::function<void()> dispatch) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(dispatch));
    }
    QMetaObject::invokeMethod(this, &QtHandOver::RunPending, Qt::QueuedConnection);
}

void QtHandOver::HandleException(std::exception_ptr error) {
    onError_(error);
}

void QtHandOver::RunPending() {
    for (;;) {
        std::function<void()> dispatch;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return;
            }
            dispatch = std::move(queue_.front());
            queue_.pop_front();
        }
        dispatch();
    }
}

} // namespace feedrail
