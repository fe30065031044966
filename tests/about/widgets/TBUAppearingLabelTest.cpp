#include "about/widgets/TBUAppearingLabel.h"

#include "support/widgets/PumpEvents.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::PumpFor;
using test::PumpUntil;

// Ticks the label by hand until it has arrived.
int TickUntilArrived(TBUAppearingLabel& label) {
    int ticks = 0;
    while (label.Sliding() && ticks < 1000) {
        label.Tick();
        ++ticks;
    }
    return ticks;
}

class AppearingLabelTest : public ::testing::Test {
protected:
    AppearingLabelTest() : label_(new TBUAppearingLabel(&panel_)) {
        panel_.resize(165, 85);
        label_->setGeometry(place_);
        label_->OnAppeared = [this] { ++appeared_; };
    }

    QWidget panel_;
    TBUAppearingLabel* label_;
    const QRect place_{4, 1, 154, 60};
    int appeared_ = 0;
};

TEST_F(AppearingLabelTest, SlidesInFromTheRightThreePixelsEveryTwentyMilliseconds) {
    EXPECT_EQ(label_->AppearFrom(), apFromRight);
    EXPECT_EQ(label_->ScrollPixel(), 3);
    EXPECT_EQ(label_->Interval(), 20);
    EXPECT_EQ(label_->FirstInterval(), 100);
    EXPECT_FALSE(label_->AutoStart());
}

TEST_F(AppearingLabelTest, ALabelCloserThanAStepArrivesOnTheFirstTickAndSaysSoOnce) {
    label_->SetAppearFrom(apFromLeft);
    label_->setGeometry(0, 10, 2, 16);
    label_->Appear();
    EXPECT_TRUE(PumpUntil([&] { return appeared_ > 0; }, 5000));
    PumpFor(label_->Interval() * 5);
    EXPECT_EQ(appeared_, 1);
    EXPECT_FALSE(label_->Sliding());
    EXPECT_EQ(label_->geometry(), QRect(0, 10, 2, 16));
}

TEST_F(AppearingLabelTest, AutoStartHidesTheLabelAndSlidesItIn) {
    label_->show();
    label_->SetScrollPixel(40);
    label_->SetAutoStart(true);
    EXPECT_FALSE(label_->isVisibleTo(&panel_));
    EXPECT_TRUE(PumpUntil([&] { return appeared_ == 1; }, 5000));
    EXPECT_TRUE(label_->isVisibleTo(&panel_));
    EXPECT_EQ(label_->geometry(), place_);
}

TEST_F(AppearingLabelTest, AStoppedSlideLeavesTheLabelInItsPlaceWithoutArriving) {
    label_->hide();
    label_->Appear();
    for (int tick = 0; tick < 5; ++tick) {
        label_->Tick();
    }
    EXPECT_TRUE(label_->isVisibleTo(&panel_));
    EXPECT_NE(label_->geometry(), place_);
    label_->StopSliding();
    EXPECT_FALSE(label_->Sliding());
    EXPECT_EQ(label_->geometry(), place_);
    EXPECT_EQ(appeared_, 0);

    label_->Appear();
    EXPECT_EQ(TickUntilArrived(*label_), 54) << "the slide starts over from the edge";
    EXPECT_EQ(label_->geometry(), place_);
    EXPECT_EQ(appeared_, 1);
}

} // namespace
} // namespace feedrail
