#include "about/widgets/AnimationTicker.h"

#include "support/widgets/PumpEvents.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::PumpFor;
using test::PumpUntil;

// A long pause tells a tick that waits for it from one that does not; a
// short one lets a waiting tick come in the test's time.
constexpr int LongPause = 60000;
constexpr int ShortPause = 300;

TEST(AboutAnimationTicker, TheFirstResumeTicksAtOnceAndTheNextTickWaitsThePause) {
    int ticks = 0;
    AnimationTicker ticker([&] { ++ticks; }, LongPause);
    PumpFor(30);
    EXPECT_EQ(ticks, 0) << "a new ticker waits for its resume";
    ticker.Resume();
    EXPECT_TRUE(PumpUntil([&] { return ticks == 1; }, 5000));
    PumpFor(50);
    EXPECT_EQ(ticks, 1);

    ticker.Suspend();
    ticker.SetPause(ShortPause);
    ticker.Resume();
    PumpFor(ShortPause * 2);
    EXPECT_EQ(ticks, 1) << "a resume goes on with the sleep it interrupted";
}

TEST(AboutAnimationTicker, ASuspendInsideATickMakesTheNextResumeSleepAWholePause) {
    int ticks = 0;
    AnimationTicker* self = nullptr;
    AnimationTicker ticker(
        [&] {
            ++ticks;
            self->Suspend();
        },
        ShortPause);
    self = &ticker;
    ticker.Resume();
    ASSERT_TRUE(PumpUntil([&] { return ticks == 1; }, 5000));
    EXPECT_FALSE(ticker.Running());
    PumpFor(ShortPause * 2);
    EXPECT_EQ(ticks, 1);

    ticker.Resume();
    PumpFor(30);
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(PumpUntil([&] { return ticks == 2; }, 5000));
}

} // namespace
} // namespace feedrail
