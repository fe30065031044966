#include "about/widgets/TBULabel.h"

#include <QApplication>
#include <QPalette>
#include <QToolTip>

namespace feedrail {

TBULabel::TBULabel(QWidget* parent)
    : QLabel(parent), colorOnEnter_(QApplication::palette().color(QPalette::HighlightedText)),
      hintColor_(QApplication::palette().color(QPalette::ToolTipBase)) {}

QColor TBULabel::FontColor() const {
    return palette().color(foregroundRole());
}

void TBULabel::SetFontColor(const QColor& color) {
    QPalette colors = palette();
    colors.setColor(foregroundRole(), color);
    setPalette(colors);
}

void TBULabel::MouseEnter() {
    if (!mouseInside_) {
        savedHintColor_ = ApplicationHintColor();
        SetApplicationHintColor(hintColor_);
        if (colorChange_) {
            savedFontColor_ = FontColor();
            SetFontColor(colorOnEnter_);
        }
        mouseInside_ = true;
    }
    if (OnMouseEnter) {
        OnMouseEnter();
    }
}

void TBULabel::MouseLeave() {
    if (mouseInside_) {
        SetApplicationHintColor(savedHintColor_);
        if (colorChange_) {
            SetFontColor(savedFontColor_);
        }
        mouseInside_ = false;
    }
    if (OnMouseLeave) {
        OnMouseLeave();
    }
}

void TBULabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    MouseEnter();
}

void TBULabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    MouseLeave();
}

// Hidden under the pointer (its box closed), a label gets no leave event:
// the colours it took are given back here.
void TBULabel::hideEvent(QHideEvent* event) {
    QLabel::hideEvent(event);
    if (mouseInside_) {
        MouseLeave();
    }
}

QColor TBULabel::ApplicationHintColor() {
    return QToolTip::palette().color(QPalette::ToolTipBase);
}

void TBULabel::SetApplicationHintColor(const QColor& color) {
    QPalette colors = QToolTip::palette();
    colors.setColor(QPalette::ToolTipBase, color);
    QToolTip::setPalette(colors);
}

} // namespace feedrail
