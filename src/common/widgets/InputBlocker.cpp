#include "common/widgets/InputBlocker.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>
#include <utility>

namespace feedrail {

bool InputBlocker::TakeEscape() {
    return std::exchange(escapePressed_, false);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (!Blocks(watched)) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            escapePressed_ = true;
        }
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool InputBlocker::Blocks(QObject* watched) const {
    if (auto* widget = qobject_cast<QWidget*>(watched)) {
        return widget->window() == &window_;
    }
    auto* handle = qobject_cast<QWindow*>(watched);
    return handle != nullptr && handle == window_.windowHandle();
}

} // namespace feedrail
