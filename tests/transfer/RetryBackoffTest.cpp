#include "transfer/RetryBackoff.h"

#include <gtest/gtest.h>
#include <vector>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

// A device server that is down is tried less and less often, up to once a
// minute; one that takes a client and drops it at once (flapping) as well; a
// line that stayed up a minute starts from 2 seconds again.
TEST(RetryBackoffTest, RetriesSlowDownToAMinuteAndStartOverAfterAMinuteUp) {
    RetryBackoff::Clock::time_point now{};
    RetryBackoff backoff([&now] { return now; });
    std::vector<long> waits;
    const auto fail = [&] {
        const auto wait = backoff.Failed();
        waits.push_back(static_cast<long>(wait.count()));
        now += wait;
    };
    for (int i = 0; i < 7; ++i) {
        fail();
    }
    EXPECT_EQ(waits, (std::vector<long>{2, 4, 8, 16, 32, 60, 60}));
    waits.clear();
    backoff.Up();
    now += 1s;
    fail();
    backoff.Up();
    now += 61s;
    fail();
    fail();
    EXPECT_EQ(waits, (std::vector<long>{60, 2, 4}))
        << "flapping slows down; a minute up starts over";
}

} // namespace
} // namespace feedrail
