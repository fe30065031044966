#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace feedrail {

// The pause after each sent line. A profile's PunchWait counts PunchWait³ busy
// steps of the processors the profile format was made for; one such step took
// about 10 ns, so PunchWait 10 pauses 10 µs, 100 pauses 10 ms and 1000 pauses
// 10 s. Values too large for the clock give the longest pause it can hold.
std::chrono::nanoseconds LinePause(std::int32_t punchWait);

// The pause in words for the settings dialog: "No pause after each line",
// "Pauses 10 ms after each line".
std::string LinePauseText(std::int32_t punchWait);

} // namespace feedrail
