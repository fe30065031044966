#include "about/widgets/TBUStarfield.h"

#include <QPainter>
#include <QResizeEvent>

namespace feedrail {

TBUStarfield::TBUStarfield(QWidget* parent)
    : QWidget(parent), model_(random_, 100, 100), ticker_([this] { Frame(); }, delay_) {
    resize(100, 100);
}

void TBUStarfield::SetDelay(int milliseconds) {
    delay_ = milliseconds;
    ticker_.SetPause(delay_);
}

void TBUStarfield::SetActive(bool active) {
    active_ = active;
    if (active_) {
        ticker_.Resume();
    } else {
        ticker_.Suspend();
    }
}

void TBUStarfield::Frame() {
    model_.Frame(width(), height());
    update();
}

QImage TBUStarfield::Bitmap() const {
    return SharedBitmap().copy();
}

void TBUStarfield::paintEvent(QPaintEvent*) {
    QPainter(this).drawImage(0, 0, SharedBitmap());
}

// The model's pixels themselves, valid until its next frame or resize.
QImage TBUStarfield::SharedBitmap() const {
    return QImage(reinterpret_cast<const uchar*>(model_.Bitmap().data()), model_.Width(),
                  model_.Height(), model_.Width() * 4, QImage::Format_RGB32);
}

void TBUStarfield::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    model_.Resize(width(), height());
}

} // namespace feedrail
