#include "about/StarfieldModel.h"

#include <algorithm>

namespace feedrail {
namespace {

constexpr std::uint32_t Black = 0xff000000;

} // namespace

StarfieldModel::StarfieldModel(RandomSource& random, int width, int height)
    : random_(random), stars_(DefaultCount) {
    Resize(width, height);
}

void StarfieldModel::SetCount(std::uint16_t count) {
    stars_.assign(count, Star{});
    Seed();
}

void StarfieldModel::Resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    bitmap_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), Black);
    Seed();
}

void StarfieldModel::Frame(int width, int height) {
    if (width != width_ || height != height_) {
        Resize(width, height);
        return;
    }
    std::fill(bitmap_.begin(), bitmap_.end(), Black);
    for (Star& star : stars_) {
        if (star.X < width_) {
            Plot(star);
        }
        star.X -= star.Speed;
        if (star.X < 0) {
            Reenter(star);
        }
    }
}

void StarfieldModel::Seed() {
    for (Star& star : stars_) {
        star.X = random_.Random(width_ / 2) + width_;
        star.Y = random_.Random(height_);
        star.Speed = random_.Random(maxSpeed_) + 1;
        star.Colour = Grey();
    }
}

void StarfieldModel::Reenter(Star& star) {
    star.X = width_;
    star.Y = random_.Random(height_);
    star.Speed = random_.Random(maxSpeed_) + 1;
    star.Colour = Grey();
}

std::int32_t StarfieldModel::Grey() {
    const int level = random_.Random(120) + 120;
    return level * 0x010101;
}

// A field no taller than zero seeds its stars on row 0, which it does not
// have: only pixels inside the bitmap are set.
void StarfieldModel::Plot(const Star& star) {
    if (star.X >= 0 && star.Y >= 0 && star.Y < height_) {
        const std::size_t at = static_cast<std::size_t>(star.Y) * static_cast<std::size_t>(width_) +
                               static_cast<std::size_t>(star.X);
        bitmap_[at] = Black | static_cast<std::uint32_t>(star.Colour);
    }
}

} // namespace feedrail
