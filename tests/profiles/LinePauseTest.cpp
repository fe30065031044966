#include "profiles/LinePause.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

TEST(LinePauseTest, PunchWaitCountsTenNanosecondStepsCubedWithoutOverflow) {
    const struct {
        std::int32_t punchWait;
        std::chrono::nanoseconds pause;
        const char* text;
    } cases[] = {
        {0, 0ns, "No pause after each line"},
        {-3, 0ns, "No pause after each line"},
        {1, 10ns, "Pauses 10 ns after each line"},
        {10, 10us, "Pauses 10 µs after each line"},
        {100, 10ms, "Pauses 10 ms after each line"},
        {1000, 10s, "Pauses 10 s after each line"},
        {2000, 80s, "Pauses 1.33 min after each line"},
        {972'000, std::chrono::nanoseconds(9'183'300'480'000'000'000),
         "Pauses 2.55e+06 h after each line"},
        {2'147'483'647, std::chrono::nanoseconds::max(), "Pauses 2.56e+06 h after each line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.punchWait);
        EXPECT_EQ(LinePause(c.punchWait), c.pause);
        EXPECT_EQ(LinePauseText(c.punchWait), c.text);
    }
}

} // namespace
} // namespace feedrail
