#pragma once

#include "about/EngineRandom.h"
#include "about/StarfieldModel.h"
#include "about/widgets/AnimationTicker.h"

#include <QImage>
#include <QWidget>
#include <cstdint>

namespace feedrail {

// An animated field of grey stars drifting leftward over black, a frame every
// `Delay` milliseconds while `Active`.
class TBUStarfield : public QWidget {
    Q_OBJECT
public:
    explicit TBUStarfield(QWidget* parent = nullptr);

    std::uint16_t Stars() const { return model_.Count(); }
    void SetStars(std::uint16_t count) { model_.SetCount(count); }
    std::uint8_t MaxSpeed() const { return model_.MaxSpeed(); }
    void SetMaxSpeed(std::uint8_t speed) { model_.SetMaxSpeed(speed); }
    int Delay() const { return delay_; }
    void SetDelay(int milliseconds);
    bool Active() const { return active_; }
    void SetActive(bool active);

    // One frame of the animation.
    void Frame();
    // The off-screen picture the control shows.
    QImage Bitmap() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage SharedBitmap() const;

    EngineRandom random_;
    StarfieldModel model_;
    int delay_ = 50;
    bool active_ = false;
    AnimationTicker ticker_;
};

} // namespace feedrail
