#include "about/SlideIn.h"

#include <gtest/gtest.h>
#include <ostream>

namespace feedrail {

void PrintTo(const LabelBounds& b, std::ostream* out) {
    *out << "(" << b.Left << ", " << b.Top << ", " << b.Width << " x " << b.Height << ")";
}

namespace {

struct Slide {
    int ticks = 0;
    LabelBounds first;
    LabelBounds last;
    bool stayedInside = true;
};

// Ticks as the appearing label does, until the label arrives.
Slide RunSlide(TAppearFrom from, int scrollPixel, const LabelBounds& target, ClientSize parent) {
    Slide slide;
    LabelBounds bounds = SlideStart(from, target, parent);
    for (bool arrived = false; !arrived && slide.ticks < 1000; ++slide.ticks) {
        const SlideStep step = SlideMove(from, scrollPixel, bounds, target);
        arrived = step.Arrived;
        bounds = SlideFit(from, step.Bounds, target, parent);
        if (slide.ticks == 0) {
            slide.first = bounds;
        }
        const bool growing = bounds.Width != target.Width || bounds.Height != target.Height;
        if (growing && (bounds.Left + bounds.Width > parent.Width - 2 ||
                        bounds.Top + bounds.Height > parent.Height - 2)) {
            slide.stayedInside = false;
        }
    }
    slide.last = bounds;
    return slide;
}

TEST(LabelSlideIn, FromEachEdgeTheLabelArrivesAtItsPlace) {
    const LabelBounds place{4, 1, 154, 60};
    const ClientSize panel{165, 85};
    const struct {
        TAppearFrom from;
        LabelBounds first;
        int ticks;
    } cases[] = {
        {apFromRight, {162, 1, 1, 60}, 54},
        {apFromLeft, {-151, 1, 154, 60}, 53},
        {apFromTop, {4, -57, 154, 60}, 21},
        {apFromBottom, {4, 82, 154, 1}, 29},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        const Slide slide = RunSlide(c.from, 3, place, panel);
        EXPECT_EQ(slide.first, c.first);
        EXPECT_EQ(slide.ticks, c.ticks);
        EXPECT_EQ(slide.last, place);
        EXPECT_TRUE(slide.stayedInside);
    }
}

TEST(LabelSlideIn, ALabelCloserThanAStepArrivesOnTheFirstTick) {
    const struct {
        TAppearFrom from;
        LabelBounds place;
        ClientSize parent;
        int scrollPixel;
    } cases[] = {
        {apFromLeft, {0, 5, 2, 10}, {100, 50}, 3},
        {apFromRight, {4, 5, 1, 10}, {6, 50}, 3},
        {apFromTop, {0, 0, 20, 9}, {100, 50}, 10},
        {apFromBottom, {0, 48, 20, 1}, {100, 50}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        const Slide slide = RunSlide(c.from, c.scrollPixel, c.place, c.parent);
        EXPECT_EQ(slide.ticks, 1);
        EXPECT_EQ(slide.last, c.place);
    }
}

} // namespace
} // namespace feedrail
