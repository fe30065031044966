#pragma once

#include "about/SlideIn.h"
#include "about/widgets/AnimationTicker.h"
#include "about/widgets/TBULabel.h"

#include <functional>

namespace feedrail {

// A hover label that slides into its place from one edge of its parent, a
// few pixels a tick, and says when it has arrived. Its place is where it
// stands when the slide starts.
class TBUAppearingLabel : public TBULabel {
    Q_OBJECT
public:
    explicit TBUAppearingLabel(QWidget* parent = nullptr);

    TAppearFrom AppearFrom() const { return appearFrom_; }
    void SetAppearFrom(TAppearFrom from) { appearFrom_ = from; }
    int ScrollPixel() const { return scrollPixel_; }
    void SetScrollPixel(int pixels) { scrollPixel_ = pixels; }
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    int FirstInterval() const { return firstInterval_; }
    void SetFirstInterval(int milliseconds);
    bool AutoStart() const { return autoStart_; }
    void SetAutoStart(bool start);

    // Starts the slide again from the edge.
    void Appear();
    // A label still on its way is put in its place and stops, without
    // `OnAppeared`; a hidden window animates nothing.
    void StopSliding();
    // One step of the slide.
    void Tick();
    bool Sliding() const { return ticker_.Running(); }

    std::function<void()> OnAppeared;

private:
    LabelBounds Bounds() const;
    void SetBounds(const LabelBounds& bounds);
    ClientSize ParentClientSize() const;

    TAppearFrom appearFrom_ = apFromRight;
    int scrollPixel_ = 3;
    int interval_ = 20;
    int firstInterval_ = 100;
    bool autoStart_ = false;
    LabelBounds target_;
    bool started_ = false;
    AnimationTicker ticker_;
};

} // namespace feedrail
