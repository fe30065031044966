#pragma once

#include <chrono>
#include <string>

namespace feedrail {

// `when` in the computer's time zone, written with a strftime `format`.
std::string LocalTimeText(std::chrono::system_clock::time_point when, const char* format);

} // namespace feedrail
