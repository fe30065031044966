#pragma once

#include "about/RandomSource.h"

#include <cstdint>
#include <vector>

namespace feedrail {

// Four 32-bit integers, in this order: place, grey and how far the star moves
// left in a frame.
struct Star {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Colour = 0; // 0xRRGGBB with three equal channels
    std::int32_t Speed = 0;
};

// Stars drifting leftward, each at its own speed, drawn frame by frame into an
// off-screen bitmap of the control's size. A star is seeded to the right of
// the visible area and re-enters at the right edge when it leaves on the left,
// so the field fills from the right and never empties.
class StarfieldModel {
public:
    static constexpr std::uint16_t DefaultCount = 100;
    static constexpr std::uint8_t DefaultMaxSpeed = 10;

    StarfieldModel(RandomSource& random, int width, int height);

    std::uint16_t Count() const { return static_cast<std::uint16_t>(stars_.size()); }
    // Every star is seeded anew.
    void SetCount(std::uint16_t count);
    std::uint8_t MaxSpeed() const { return maxSpeed_; }
    void SetMaxSpeed(std::uint8_t speed) { maxSpeed_ = speed; }

    // The bitmap takes the new size and every star is seeded anew.
    void Resize(int width, int height);
    // One frame for a control of `width` by `height`. A control whose size
    // differs from the bitmap's gets a resize instead of a frame.
    void Frame(int width, int height);

    const std::vector<Star>& Stars() const { return stars_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Row by row, each pixel 0xffRRGGBB.
    const std::vector<std::uint32_t>& Bitmap() const { return bitmap_; }

private:
    void Seed();
    void Reenter(Star& star);
    std::int32_t Grey();
    void Plot(const Star& star);

    RandomSource& random_;
    int width_ = 0;
    int height_ = 0;
    std::uint8_t maxSpeed_ = DefaultMaxSpeed;
    std::vector<Star> stars_;
    std::vector<std::uint32_t> bitmap_;
};

} // namespace feedrail
