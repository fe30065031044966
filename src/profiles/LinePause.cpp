#include "profiles/LinePause.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace feedrail {
namespace {

constexpr std::int64_t NanosecondsPerStep = 10;

} // namespace

std::chrono::nanoseconds LinePause(std::int32_t punchWait) {
    if (punchWait <= 0) {
        return std::chrono::nanoseconds::zero();
    }
    const auto steps = static_cast<std::int64_t>(punchWait);
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    // steps³ × 10 stays below the limit while steps ≤ cbrt(limit / 10) ≈ 972,000.
    if (steps > 972'000) {
        return std::chrono::nanoseconds(most);
    }
    return std::chrono::nanoseconds(steps * steps * steps * NanosecondsPerStep);
}

std::string LinePauseText(std::int32_t punchWait) {
    const auto pause = LinePause(punchWait);
    if (pause == std::chrono::nanoseconds::zero()) {
        return "No pause after each line";
    }
    struct Unit {
        double nanoseconds;
        const char* name;
    };
    static constexpr Unit units[] = {{3600e9, "h"}, {60e9, "min"}, {1e9, "s"},
                                     {1e6, "ms"},   {1e3, "µs"},   {1, "ns"}};
    const auto count = static_cast<double>(pause.count());
    for (const Unit& unit : units) {
        if (count >= unit.nanoseconds || unit.nanoseconds == 1) {
            char number[32];
            std::snprintf(number, sizeof number, "%.3g", count / unit.nanoseconds);
            return std::string("Pauses ") + number + " " + unit.name + " after each line";
        }
    }
    return {};
}

} // namespace feedrail
