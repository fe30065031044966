#include "about/widgets/TBUStarfield.h"

#include "support/widgets/PumpEvents.h"

#include <QImage>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::PumpFor;
using test::PumpUntil;

bool AllBlack(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(0, 0, 0)) {
                return false;
            }
        }
    }
    return true;
}

TEST(StarfieldControl, StartsStillWithAHundredStarsOnAHundredPixelsSquare) {
    const TBUStarfield field;
    EXPECT_EQ(field.Stars(), 100);
    EXPECT_EQ(field.MaxSpeed(), 10);
    EXPECT_EQ(field.Delay(), 50);
    EXPECT_FALSE(field.Active());
    EXPECT_EQ(field.size(), QSize(100, 100));
}

TEST(StarfieldControl, WithoutStarsTheControlIsBlack) {
    TBUStarfield field;
    field.resize(40, 30);
    field.show();
    field.SetStars(0);
    for (int frame = 0; frame < 5; ++frame) {
        field.Frame();
    }
    EXPECT_EQ(field.Bitmap().size(), QSize(40, 30));
    EXPECT_TRUE(AllBlack(field.Bitmap()));
    EXPECT_TRUE(AllBlack(field.grab().toImage()));
}

TEST(StarfieldControl, AnActiveFieldMovesEveryDelayAndAnInactiveOneStandsStill) {
    TBUStarfield field;
    field.resize(40, 30);
    field.show();
    field.SetMaxSpeed(1);
    field.SetDelay(5);
    field.Frame();
    const QImage first = field.Bitmap();
    ASSERT_TRUE(AllBlack(first)) << "the stars start right of the field";

    field.SetActive(true);
    EXPECT_TRUE(PumpUntil([&] { return !AllBlack(field.Bitmap()); }, 5000));
    EXPECT_FALSE(AllBlack(field.grab().toImage()));
    field.SetActive(false);
    const QImage stopped = field.Bitmap();
    PumpFor(100);
    EXPECT_EQ(field.Bitmap(), stopped);
}

} // namespace
} // namespace feedrail
