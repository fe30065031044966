#pragma once

#include <QFont>
#include <QWidget>

namespace feedrail {

// The windows and dialogs are laid out, in pixels, for 8-point type.
inline void UseDesignFont(QWidget& widget) {
    QFont font = widget.font();
    font.setPointSize(8);
    widget.setFont(font);
}

} // namespace feedrail
