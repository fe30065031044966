#include "about/widgets/TBUAppearingLabel.h"

namespace feedrail {

TBUAppearingLabel::TBUAppearingLabel(QWidget* parent)
    : TBULabel(parent), ticker_([this] { Tick(); }, firstInterval_) {}

void TBUAppearingLabel::SetInterval(int milliseconds) {
    interval_ = milliseconds;
    if (started_) {
        ticker_.SetPause(interval_);
    }
}

void TBUAppearingLabel::SetFirstInterval(int milliseconds) {
    firstInterval_ = milliseconds;
    if (!started_) {
        ticker_.SetPause(firstInterval_);
    }
}

void TBUAppearingLabel::SetAutoStart(bool start) {
    autoStart_ = start;
    if (autoStart_) {
        hide();
        ticker_.Resume();
    }
}

void TBUAppearingLabel::Appear() {
    started_ = false;
    ticker_.Resume();
}

void TBUAppearingLabel::StopSliding() {
    if (ticker_.Running()) {
        ticker_.Suspend();
        if (started_) {
            SetBounds(target_);
        }
    }
}

void TBUAppearingLabel::Tick() {
    if (!started_) {
        target_ = Bounds();
        SetBounds(SlideStart(appearFrom_, target_, ParentClientSize()));
        started_ = true;
        ticker_.SetPause(interval_);
        show();
    }
    const SlideStep step = SlideMove(appearFrom_, scrollPixel_, Bounds(), target_);
    SetBounds(step.Bounds);
    if (step.Arrived) {
        ticker_.Suspend();
        if (OnAppeared) {
            OnAppeared();
        }
    }
    SetBounds(SlideFit(appearFrom_, Bounds(), target_, ParentClientSize()));
}

LabelBounds TBUAppearingLabel::Bounds() const {
    return {x(), y(), width(), height()};
}

void TBUAppearingLabel::SetBounds(const LabelBounds& bounds) {
    setGeometry(bounds.Left, bounds.Top, bounds.Width, bounds.Height);
}

ClientSize TBUAppearingLabel::ParentClientSize() const {
    const QWidget* parent = parentWidget();
    return parent ? ClientSize{parent->contentsRect().width(), parent->contentsRect().height()}
                  : ClientSize{};
}

} // namespace feedrail
