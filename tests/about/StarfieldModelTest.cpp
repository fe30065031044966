#include "about/StarfieldModel.h"

#include "about/EngineRandom.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <utility>

namespace feedrail {
namespace {

constexpr std::uint32_t Black = 0xff000000;

// A star's grey, 120 to 239 in all three channels.
void ExpectGrey(const Star& star) {
    const int level = star.Colour & 0xff;
    EXPECT_GE(level, 120);
    EXPECT_LE(level, 239);
    EXPECT_EQ(star.Colour, level * 0x010101);
}

void ExpectSeeded(const StarfieldModel& model, int maxSpeed) {
    const int width = model.Width();
    for (const Star& star : model.Stars()) {
        EXPECT_GE(star.X, width);
        EXPECT_LE(star.X, width + std::max(width / 2 - 1, 0));
        EXPECT_GE(star.Y, 0);
        EXPECT_LE(star.Y, std::max(model.Height() - 1, 0));
        EXPECT_GE(star.Speed, 1);
        EXPECT_LE(star.Speed, std::max(maxSpeed, 1));
        ExpectGrey(star);
    }
}

TEST(StarfieldModel, EveryStarIsSeededRightOfTheFieldWithinItsRanges) {
    const struct {
        int width;
        int height;
        std::uint16_t count;
        std::uint8_t maxSpeed;
    } cases[] = {
        {270, 235, 100, 10}, {100, 100, 1000, 1}, {7, 3, 50, 255}, {1, 1, 20, 0}, {0, 0, 10, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        EngineRandom random(7);
        StarfieldModel model(random, 10, 10);
        EXPECT_EQ(model.Count(), StarfieldModel::DefaultCount);
        model.SetMaxSpeed(c.maxSpeed);
        model.SetCount(c.count);
        model.Resize(c.width, c.height);
        ASSERT_EQ(model.Stars().size(), c.count);
        ASSERT_EQ(model.Bitmap().size(), static_cast<std::size_t>(c.width * c.height));
        ExpectSeeded(model, c.maxSpeed);
    }
}

// The pixels a frame should draw: each visible star's, the later star on top.
std::map<std::pair<int, int>, std::uint32_t> VisibleStars(const StarfieldModel& model) {
    std::map<std::pair<int, int>, std::uint32_t> pixels;
    for (const Star& star : model.Stars()) {
        if (star.X < model.Width()) {
            pixels[{star.X, star.Y}] = Black | static_cast<std::uint32_t>(star.Colour);
        }
    }
    return pixels;
}

TEST(StarfieldModel, AFrameDrawsTheVisibleStarsThenMovesThemAndALostStarReentersAtTheRight) {
    constexpr int width = 40;
    constexpr int height = 20;
    EngineRandom random(11);
    StarfieldModel model(random, width, height);
    int reentries = 0;
    for (int frame = 0; frame < 40; ++frame) {
        const std::vector<Star> before = model.Stars();
        const auto drawn = VisibleStars(model);
        model.Frame(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto star = drawn.find({x, y});
                EXPECT_EQ(model.Bitmap()[y * width + x], star == drawn.end() ? Black : star->second)
                    << "frame " << frame << " at " << x << "," << y;
            }
        }
        for (std::size_t i = 0; i < before.size(); ++i) {
            const Star& was = before[i];
            const Star& is = model.Stars()[i];
            if (was.X - was.Speed >= 0) {
                EXPECT_EQ(is.X, was.X - was.Speed);
                EXPECT_EQ(std::make_pair(is.Y, is.Speed), std::make_pair(was.Y, was.Speed));
                EXPECT_EQ(is.Colour, was.Colour);
                continue;
            }
            ++reentries;
            EXPECT_EQ(is.X, width);
            EXPECT_TRUE(is.Y >= 0 && is.Y < height && is.Speed >= 1 && is.Speed <= 10);
            ExpectGrey(is);
        }
    }
    EXPECT_GT(reentries, 100);
}

TEST(StarfieldModel, AFieldWithoutStarsIsBlackAndANewSizeReseedsInsteadOfDrawing) {
    EngineRandom random(3);
    StarfieldModel model(random, 30, 20);
    for (int frame = 0; frame < 10; ++frame) {
        model.Frame(30, 20);
    }
    ASSERT_NE(std::count(model.Bitmap().begin(), model.Bitmap().end(), Black), 30 * 20);

    model.Frame(50, 10);
    EXPECT_EQ(model.Width(), 50);
    EXPECT_EQ(model.Height(), 10);
    EXPECT_EQ(std::count(model.Bitmap().begin(), model.Bitmap().end(), Black), 50 * 10);
    ExpectSeeded(model, StarfieldModel::DefaultMaxSpeed);

    model.SetCount(0);
    for (int frame = 0; frame < 10; ++frame) {
        model.Frame(50, 10);
        EXPECT_EQ(std::count(model.Bitmap().begin(), model.Bitmap().end(), Black), 50 * 10);
    }
}

} // namespace
} // namespace feedrail
