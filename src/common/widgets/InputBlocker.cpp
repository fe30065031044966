#include "common/widgets/InputBlocker.h"

#include <QEvent>
#include <QKeyEvent>
#include <utility>

namespace feedrail {

bool InputBlocker::TakeEscape() {
    return std::exchange(escapePressed_, false);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            escapePressed_ = true;
        }
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
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

} // namespace feedrail
